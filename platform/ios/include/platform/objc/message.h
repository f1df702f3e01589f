#pragma once

#include <type_traits>

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

#if ORVANE_STAND_IN
// On the simulated device the stand-in's runtime finds the method by
// selector, as objc_msgSend does, and refuses a send whose types disagree with
// the method's encoding; the call itself has the same function type.

template <class R>
inline R nilResult() {
  if constexpr (!std::is_void_v<R>) return R{};
}

template <class R, class... Args, class Receiver>
inline IMP lookUpForSend(const Receiver* receiver, SEL selector) {
  const char* types = signature<R, Args...>().c_str();
  if constexpr (std::is_same_v<std::remove_cv_t<Receiver>, objc_class>)
    return objc_lookUpClassForSend(const_cast<Class>(receiver), selector, types);
  else
    return objc_lookUpForSend(reinterpret_cast<id>(const_cast<Receiver*>(receiver)), selector, types);
}
#endif

template <class R, class Receiver, class... Args>
inline R sendMessage(const Receiver* receiver, SEL selector, Args... arguments) {
  using Function = R (*)(id, SEL, Args...);
#if ORVANE_STAND_IN
  if (!receiver) return nilResult<R>();
  auto function = reinterpret_cast<Function>(lookUpForSend<R, Args...>(receiver, selector));
#else
  auto function = reinterpret_cast<Function>(static_cast<void (*)(void)>(&::objc_msgSend));
#endif
  return function(reinterpret_cast<id>(const_cast<Receiver*>(receiver)), selector, arguments...);
}

/// A variadic method (stringWithFormat:) is called through a variadic
/// function type: on arm64 the variadic arguments go on the stack.
template <class R, class... Fixed, class Receiver, class... Variadic>
inline R sendVariadic(const Receiver* receiver, SEL selector, Fixed... fixed, Variadic... variadic) {
  using Function = R (*)(id, SEL, Fixed..., ...);
#if ORVANE_STAND_IN
  if (!receiver) return nilResult<R>();
  auto function = reinterpret_cast<Function>(lookUpForSend<R, Fixed...>(receiver, selector));
#else
  auto function = reinterpret_cast<Function>(static_cast<void (*)(void)>(&::objc_msgSend));
#endif
  return function(reinterpret_cast<id>(const_cast<Receiver*>(receiver)), selector, fixed..., variadic...);
}

/// `[super ...]` from a method of `cls`: the search starts above `cls`.
template <class R, class Receiver, class... Args>
inline R sendSuperMessage(Class cls, const Receiver* receiver, SEL selector, Args... arguments) {
  objc_super super{reinterpret_cast<id>(const_cast<Receiver*>(receiver)), cls};
#if ORVANE_STAND_IN
  if (!receiver) return nilResult<R>();
  using Function = R (*)(id, SEL, Args...);
  const char* types = signature<R, Args...>().c_str();
  auto function = reinterpret_cast<Function>(objc_lookUpSuperForSend(super.receiver, class_getSuperclass(cls), selector, types));
  return function(super.receiver, selector, arguments...);
#else
  using Function = R (*)(objc_super*, SEL, Args...);
  return reinterpret_cast<Function>(&::objc_msgSendSuper2)(&super, selector, arguments...);
#endif
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
#if ORVANE_STAND_IN
  if (!super.receiver) return objc::nilResult<R>();
  using Function = R (*)(id, SEL, Args...);
  const char* types = objc::signature<R, Args...>().c_str();
  return reinterpret_cast<Function>(objc_lookUpSuperForSend(super.receiver, super.super_class, selector, types))(
      super.receiver, selector, arguments...);
#else
  objc_super copy = super;
  using Function = R (*)(objc_super*, SEL, Args...);
  return reinterpret_cast<Function>(static_cast<void (*)(void)>(&::objc_msgSendSuper))(&copy, selector, arguments...);
#endif
}
