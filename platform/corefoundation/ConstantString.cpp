#include "platform/corefoundation/CoreFoundation.h"

// What CFSTR falls back on where no compiler lays the string out: the same
// immortal string for equal text.
extern "C" __attribute__((visibility("default"))) CFStringRef __CFStringMakeConstantString(const char* text) {
  return text ? NSString::constant(text) : nullptr;
}
