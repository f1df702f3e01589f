#pragma once
// Shared by both targets: an owning reference is plain C++ over objc_retain and objc_release.
#include "../../../../objc/Retained.h"
