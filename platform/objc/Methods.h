#pragma once

#include "platform/objc/Retained.h"
#include "platform/objc/message.h"
#include "platform/objc/runtime.h"

// Methods written as C++ member functions. A class of the platform or the
// product registers each of its methods under its selector; sends then reach
// the member of the receiver's runtime class, and subclasses override by
// registering their own.

namespace objc {

template <auto Member>
struct MemberMethod;

template <class C, class R, class... Args, R (C::*Member)(Args...)>
struct MemberMethod<Member> {
  static R call(id self, SEL, Args... arguments) { return (static_cast<C*>(self)->*Member)(arguments...); }
  static const char* types() { return signature<R, Args...>().c_str(); }
};

template <class C, class R, class... Args, R (C::*Member)(Args...) const>
struct MemberMethod<Member> {
  static R call(id self, SEL, Args... arguments) { return (static_cast<const C*>(self)->*Member)(arguments...); }
  static const char* types() { return signature<R, Args...>().c_str(); }
};

/// Adds the member function as the class's implementation of `selector`.
template <auto Member>
void addMethod(Class cls, const char* selector) {
  using Method = MemberMethod<Member>;
  class_replaceMethod(cls, sel_registerName(selector), reinterpret_cast<IMP>(&Method::call), Method::types());
}

/// Sends by selector name: `objc::send<NSArray*>(controller, "specifiers")`.
template <class R = void, class Receiver, class... Args>
R send(Receiver* receiver, const char* selector, Args... arguments) {
  return objc_msgSend<R>(receiver, sel_registerName(selector), arguments...);
}

/// Sends to the implementation above `cls`, as `[super ...]` does in a method of `cls`.
template <class R = void, class Receiver, class... Args>
R sendSuper(Class cls, Receiver* receiver, const char* selector, Args... arguments) {
  return objc_msgSendSuper<R>({receiver, class_getSuperclass(cls)}, sel_registerName(selector), arguments...);
}

/// `[[cls alloc] initializer...]`: a new instance of the runtime class, made
/// with the named initialiser; nil (and the instance freed) if it gives none
/// or what it gives is not a T.
template <class T, class... Args>
Retained<T> make(Class cls, const char* initializer, Args... arguments) {
  id made = class_createInstance(cls, 0);
  id initialised = send<id>(made, initializer, arguments...);
  auto* typed = dynamic_cast<T*>(initialised);
  if (!typed) {
    objc_release(initialised ? initialised : made);
    return nullptr;
  }
  return Retained<T>::adopt(typed);
}

}  // namespace objc
