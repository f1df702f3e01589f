#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/objc/TypeEncoding.h"
#include "platform/objc/runtime.h"

// Typed message sends. The argument and result types of a send are encoded as
// the runtime encodes a method's, and a send is refused when they disagree.

namespace objc {

/// Finds the method a send to `cls` reaches, checking it against `expected`.
/// Throws NSInvalidArgumentException naming class and selector on failure.
IMP resolveSend(id receiver, Class cls, SEL selector, std::string_view expected);
/// The same for a send to a class: its class methods are searched.
IMP resolveClassSend(Class receiver, SEL selector, std::string_view expected);

}  // namespace objc

/// Sends a message, to an object or to a class; a send to nil does nothing and returns zero.
template <class R = void, class Receiver, class... Args>
R objc_msgSend(Receiver* receiver, SEL selector, Args... args) {
  if (!receiver) {
    if constexpr (std::is_void_v<R>) return;
    else return R{};
  }
  if constexpr (std::is_same_v<std::remove_cv_t<Receiver>, objc_class>) {
    IMP implementation = objc::resolveClassSend(receiver, selector, objc::signature<R, Args...>());
    return reinterpret_cast<R (*)(Class, SEL, Args...)>(implementation)(receiver, selector, args...);
  } else {
    id self = receiver;
    IMP implementation = objc::resolveSend(self, self->isa, selector, objc::signature<R, Args...>());
    return reinterpret_cast<R (*)(id, SEL, Args...)>(implementation)(self, selector, args...);
  }
}

struct objc_super {
  id receiver;
  Class super_class;
};

/// Sends a message to the receiver, looked up from `super_class` upwards.
template <class R = void, class... Args>
R objc_msgSendSuper(const objc_super& super, SEL selector, Args... args) {
  if (!super.receiver) {
    if constexpr (std::is_void_v<R>) return;
    else return R{};
  }
  IMP implementation = objc::resolveSend(super.receiver, super.super_class, selector, objc::signature<R, Args...>());
  return reinterpret_cast<R (*)(id, SEL, Args...)>(implementation)(super.receiver, selector, args...);
}

/// The encoding to register for a C++ function used as a method implementation.
template <class R, class... Args>
const char* objc_encodingOf(R (*)(id, SEL, Args...)) {
  return objc::signature<R, Args...>().c_str();
}
template <class R, class Self, class... Args>
const char* objc_encodingOf(R (*)(Self*, SEL, Args...)) {
  return objc::signature<R, Args...>().c_str();
}

