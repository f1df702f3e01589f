#pragma once
// Shared by both targets: defining classes and methods uses only the runtime's C functions.
#include "../../../../objc/Methods.h"
