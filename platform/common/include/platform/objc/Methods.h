#pragma once

#include "platform/objc/Retained.h"
#include "platform/objc/message.h"
#include "platform/objc/runtime.h"

// Methods written as C++ member functions. A class of the platform or the
// product registers each of its methods under its selector; sends then reach
// the member of the receiver's runtime class, and subclasses override by
// registering their own.

namespace objc {

[[noreturn]] void throwIvarMismatch(id object, const char* name, char expected);

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

/// Adds a function `R f(Self* self, SEL, Args...)` as the class's
/// implementation of `selector`, with the encoding of its C++ types.
template <class R, class Self, class... Args>
void addFunction(Class cls, const char* selector, R (*function)(Self*, SEL, Args...)) {
  class_replaceMethod(cls, sel_registerName(selector), reinterpret_cast<IMP>(function),
                      signature<R, Args...>().c_str());
}

/// Adds a class method `R f(Class self, SEL, Args...)` to the class `cls`.
template <class R, class... Args>
void addClassFunction(Class cls, const char* selector, R (*function)(Class, SEL, Args...)) {
  class_replaceMethod(objc_getMetaClass(class_getName(cls)), sel_registerName(selector),
                      reinterpret_cast<IMP>(function), objc::signature<R, Args...>().c_str());
}

/// Defines the runtime class `name` under `superclass`, as the bundle's own
/// classes are made on every target: `declare(cls)` adds the instance
/// variables and methods, then the class is registered. A class already
/// registered under the name is returned as it is.
template <class Declare>
Class defineClass(Class superclass, const char* name, Declare declare) {
  if (Class existing = objc_getClass(name)) return existing;
  Class cls = objc_allocateClassPair(superclass, name, 0);
  if (!cls) return objc_getClass(name);
  declare(cls);
  objc_registerClassPair(cls);
  return cls;
}

/// Declares an instance variable of type T on a class being defined.
template <class T>
bool addIvar(Class cls, const char* name) {
  static_assert(std::is_trivially_copyable_v<T>, "an instance variable holds plain data or an object pointer");
  uint8_t alignment = 0;
  while ((std::size_t{1} << alignment) < alignof(T)) ++alignment;
  const char types[] = {typeCode<T>(), 0};
  return class_addIvar(cls, name, sizeof(T), alignment, types);
}

/// The instance variable `name` of `object`, declared by its class or a
/// superclass, as a T. Throws NSInvalidArgumentException naming class and
/// variable if there is none or it was declared with another type.
template <class T>
T& instanceVariable(id object, const char* name) {
  Ivar ivar = class_getInstanceVariable(object_getClass(object), name);
  const char* types = ivar_getTypeEncoding(ivar);
  if (!ivar || !types || types[0] != typeCode<T>())
    throwIvarMismatch(object, name, typeCode<T>());
  return *reinterpret_cast<T*>(reinterpret_cast<char*>(object) + ivar_getOffset(ivar));
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
/// or what it gives is not of the runtime class T::class_() or a subclass.
template <class T, class... Args>
Retained<T> make(Class cls, const char* initializer, Args... arguments) {
  id made = class_createInstance(cls, 0);
  id initialised = send<id>(made, initializer, arguments...);
  if (!initialised || !class_isSubclassOf(object_getClass(initialised), T::class_())) {
    objc_release(initialised ? initialised : made);
    return nullptr;
  }
  return Retained<T>::adopt(static_cast<T*>(initialised));
}

}  // namespace objc
