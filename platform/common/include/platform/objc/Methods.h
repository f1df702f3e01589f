#pragma once

#include <initializer_list>
#include <vector>

#include "platform/objc/Retained.h"
#include "platform/objc/message.h"
#include "platform/objc/runtime.h"

// Methods written as C++ member functions. A class of the platform or the
// product registers each of its methods under its selector; sends then reach
// the member of the receiver's runtime class, and subclasses override by
// registering their own.

namespace objc {

[[noreturn]] void throwIvarMismatch(id object, const char* name, char expected);

/// A selector named once, where a class registers the method and where
/// senders send it: `inline constexpr objc::Selector increaseAlpha{"increaseAlpha"};`.
struct Selector {
  constexpr Selector(const char* selectorName) : name(selectorName) {}
  operator SEL() const { return sel_registerName(name); }
  const char* name;
};

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

/// An instance variable named once, where a class declares it and where its
/// methods reach it: `prevStatusStyle.of(self)`.
template <class T>
struct InstanceVariable {
  const char* name;
  T& of(id object) const { return instanceVariable<T>(object, name); }
};

/// One method of a class definition: its selector, implementation and encoding.
struct MethodDefinition {
  Selector selector;
  IMP implementation;
  const char* types;
};

/// The member function as the method `selector`.
template <auto Member>
MethodDefinition method(Selector selector) {
  using Method = MemberMethod<Member>;
  return {selector, reinterpret_cast<IMP>(&Method::call), Method::types()};
}

/// A function `R f(Self* self, SEL, Args...)` as the method `selector`; for a
/// class method, `self` is the Class.
template <class R, class Self, class... Args>
MethodDefinition method(Selector selector, R (*function)(Self*, SEL, Args...)) {
  return {selector, reinterpret_cast<IMP>(function), signature<R, Args...>().c_str()};
}

/// An instance variable of a class definition.
struct IvarDefinition {
  template <class T>
  IvarDefinition(InstanceVariable<T> variable) : name(variable.name), size(sizeof(T)), type(typeCode<T>()) {
    static_assert(std::is_trivially_copyable_v<T>, "an instance variable holds plain data or an object pointer");
    while ((std::size_t{1} << alignment) < alignof(T)) ++alignment;
  }
  const char* name;
  std::size_t size;
  uint8_t alignment = 0;
  char type;
};

using MethodList = std::vector<MethodDefinition>;

/// The lists one after the other: a class's own methods and those it shares with others.
inline MethodList join(std::initializer_list<MethodList> lists) {
  std::size_t total = 0;
  for (const MethodList& list : lists) total += list.size();
  // Room made first, then appended one by one: the device's C library offers no memmove to the product.
  MethodList joined;
  joined.reserve(total);
  for (const MethodList& list : lists)
    for (const MethodDefinition& method : list) joined.push_back(method);
  return joined;
}

/// A runtime class as the product defines it, on every target.
struct ClassDefinition {
  const char* name;
  Class superclass;
  std::vector<IvarDefinition> ivars = {};
  MethodList methods = {};
  MethodList classMethods = {};
  /// Protocols the class conforms to, each where the runtime knows it.
  std::vector<const char*> protocols = {};
};

/// Registers the class the definition describes and returns it. A class
/// already registered under the name is returned as it is.
inline Class defineClass(const ClassDefinition& definition) {
  if (Class existing = objc_getClass(definition.name)) return existing;
  Class cls = objc_allocateClassPair(definition.superclass, definition.name, 0);
  if (!cls) return objc_getClass(definition.name);
  for (const IvarDefinition& ivar : definition.ivars) {
    const char types[] = {ivar.type, 0};
    class_addIvar(cls, ivar.name, ivar.size, ivar.alignment, types);
  }
  for (const MethodDefinition& method : definition.methods)
    class_replaceMethod(cls, method.selector, method.implementation, method.types);
  for (const char* name : definition.protocols)
    if (Protocol* protocol = objc_getProtocol(name)) class_addProtocol(cls, protocol);
  objc_registerClassPair(cls);
  // Class methods go to the metaclass, which the registered class has.
  Class metaclass = objc_getMetaClass(definition.name);
  for (const MethodDefinition& method : definition.classMethods)
    class_replaceMethod(metaclass, method.selector, method.implementation, method.types);
  return cls;
}

/// Sends by selector: `objc::send<NSArray*>(controller, sel::specifiers)`.
template <class R = void, class Receiver, class... Args>
R send(Receiver* receiver, Selector selector, Args... arguments) {
  return objc_msgSend<R>(receiver, selector, arguments...);
}

/// Sends to the implementation above `cls`, as `[super ...]` does in a method of `cls`.
template <class R = void, class Receiver, class... Args>
R sendSuper(Class cls, Receiver* receiver, Selector selector, Args... arguments) {
  return objc_msgSendSuper<R>({receiver, class_getSuperclass(cls)}, selector, arguments...);
}

/// Whether `cls` is `ancestor` or inherits from it.
inline bool inherits(Class cls, Class ancestor) {
  for (; cls; cls = class_getSuperclass(cls))
    if (cls == ancestor) return true;
  return false;
}

/// `[[cls alloc] initializer...]`: a new instance of the runtime class, made
/// with the named initialiser; nil (and the instance freed) if it gives none
/// or what it gives is not of the runtime class T::class_() or a subclass.
template <class T, class... Args>
Retained<T> make(Class cls, Selector initializer, Args... arguments) {
  id made = class_createInstance(cls, 0);
  id initialised = send<id>(made, initializer, arguments...);
  if (!initialised || !inherits(object_getClass(initialised), T::class_())) {
    objc_release(initialised ? initialised : made);
    return nullptr;
  }
  return Retained<T>::adopt(static_cast<T*>(initialised));
}

}  // namespace objc
