#pragma once
// Shared by both targets: the runner is POSIX over platform/libc/Process.h.
#include "../../../../libc/Spawn.h"
