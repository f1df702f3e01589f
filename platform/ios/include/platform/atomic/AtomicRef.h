#pragma once
// Shared by both targets.
#include "../../../../atomic/AtomicRef.h"
