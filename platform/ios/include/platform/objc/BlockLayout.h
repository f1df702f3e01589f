#pragma once
// Shared by both targets: the layout of a block, for the compiler without blocks.
#include "../../../../objc/BlockLayout.h"
