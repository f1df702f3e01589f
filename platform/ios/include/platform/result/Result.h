#pragma once
// Shared by both targets.
#include "../../../../result/Result.h"
