#pragma once

#include "platform/objc/runtime.h"

namespace substrate {

/// A function that, called with any signature as the implementation of
/// `selector` on `hookedClass`, runs the implementation the superclass of
/// `hookedClass` answers at the time of the call.
IMP makeSuperclassForwarder(Class hookedClass, SEL selector);

}  // namespace substrate
