#include <stdlib.h>

#include "platform/objc/runtime.h"

#if ORVANE_STAND_IN
// The simulated device raises, naming class and variable, so a test sees which.
[[noreturn]] void objc::throwIvarMismatch(id object, const char* name, char expected) {
  objc_throwIvarMismatch(object, name, expected);
  abort();
}
#else
[[noreturn]] void objc::throwIvarMismatch(id, const char*, char) { abort(); }
#endif
