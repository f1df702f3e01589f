#include <stdlib.h>

#include "platform/objc/runtime.h"

[[noreturn]] void objc::throwIvarMismatch(id, const char*, char) { abort(); }
