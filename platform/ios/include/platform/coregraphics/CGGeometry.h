#pragma once
// Shared by both targets.
#include "../../../../coregraphics/CGGeometry.h"
