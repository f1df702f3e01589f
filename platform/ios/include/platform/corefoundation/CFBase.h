#pragma once
// Shared by both targets: plain types.
#include "../../../../corefoundation/CFBase.h"
