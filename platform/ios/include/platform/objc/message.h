#pragma once

#include "platform/objc/TypeEncoding.h"
#include "platform/objc/runtime.h"

// Message sends with the exact function type of the method reached: objc4
// declares objc_msgSend without a prototype so that every caller casts it.

struct objc_super {
  id receiver;
  Class super_class;
};

extern "C" {
void objc_msgSend(void);
void objc_msgSendSuper(void);
void objc_msgSendSuper2(void);
}

namespace objc {

template <class R, class Receiver, class... Args>
inline R sendMessage(const Receiver* receiver, SEL selector, Args... arguments) {
  using Function = R (*)(id, SEL, Args...);
  return reinterpret_cast<Function>(static_cast<void (*)(void)>(&::objc_msgSend))(
      reinterpret_cast<id>(const_cast<Receiver*>(receiver)), selector, arguments...);
}

/// A variadic method (stringWithFormat:) is called through a variadic
/// function type: on arm64 the variadic arguments go on the stack.
template <class R, class... Fixed, class Receiver, class... Variadic>
inline R sendVariadic(const Receiver* receiver, SEL selector, Fixed... fixed, Variadic... variadic) {
  using Function = R (*)(id, SEL, Fixed..., ...);
  return reinterpret_cast<Function>(static_cast<void (*)(void)>(&::objc_msgSend))(
      reinterpret_cast<id>(const_cast<Receiver*>(receiver)), selector, fixed..., variadic...);
}

/// `[super ...]` from a method of `cls`: the search starts above `cls`.
template <class R, class Receiver, class... Args>
inline R sendSuperMessage(Class cls, const Receiver* receiver, SEL selector, Args... arguments) {
  objc_super super{reinterpret_cast<id>(const_cast<Receiver*>(receiver)), cls};
  using Function = R (*)(objc_super*, SEL, Args...);
  return reinterpret_cast<Function>(&::objc_msgSendSuper2)(&super, selector, arguments...);
}

}  // namespace objc

/// Sends a message; the stand-in's spelling, kept so product code is the same on both targets.
template <class R = void, class Receiver, class... Args>
inline R objc_msgSend(Receiver* receiver, SEL selector, Args... arguments) {
  return objc::sendMessage<R>(receiver, selector, arguments...);
}

/// Sends to the implementation found from `super.super_class` upwards (the stand-in's spelling).
template <class R = void, class... Args>
inline R objc_msgSendSuper(const objc_super& super, SEL selector, Args... arguments) {
  objc_super copy = super;
  using Function = R (*)(objc_super*, SEL, Args...);
  return reinterpret_cast<Function>(static_cast<void (*)(void)>(&::objc_msgSendSuper))(&copy, selector, arguments...);
}
