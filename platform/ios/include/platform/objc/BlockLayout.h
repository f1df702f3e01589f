#pragma once
// Blocks laid out by hand, for the compiler without them: the simulated device's.
#if !__BLOCKS__
#include "../../../../objc/BlockLayout.h"
#endif
