#pragma once

// The Objective-C runtime of the device: libobjc.A.dylib's C functions,
// declared as objc4 declares them. An object is reached only through
// pointers; the C++ classes of this layer have no data of their own, so
// `this` is the runtime object itself.

#include "platform/objc/RuntimeTypes.h"

#if __LP64__
typedef bool BOOL;
#else
typedef signed char BOOL;
#endif
#define YES ((BOOL)1)
#define NO ((BOOL)0)

/// Every object. Empty on purpose: the runtime owns the layout.
struct objc_object {
  objc_object() = delete;
  objc_object(const objc_object&) = delete;
  objc_object& operator=(const objc_object&) = delete;
};
typedef objc_object* id;
/// A protocol, an object of the runtime (objc4's declaration outside Objective-C).
typedef struct objc_object Protocol;

#include "platform/objc/RuntimeFunctions.h"

#if ORVANE_STAND_IN
#include "platform/objc/StandInSends.h"
#endif

namespace objc {

/// A misused instance variable; on the device the process stops (no exceptions here).
[[noreturn]] void throwIvarMismatch(id object, const char* name, char expected);

}  // namespace objc

/// A selector or class looked up by name once per call site and kept:
/// `ORVANE_SEL("count")`, `ORVANE_CLASS("UIView")`. (A lambda's own static,
/// not a template on the name: that would export the name's object.)
#define ORVANE_SEL(name)                                   \
  ([]() -> SEL {                                           \
    static SEL const cached = sel_registerName(name);      \
    return cached;                                         \
  }())
#define ORVANE_CLASS(name)                                 \
  ([]() -> Class {                                         \
    static Class const cached = objc_getClass(name);       \
    return cached;                                         \
  }())

#define nil nullptr
