#pragma once

#include <string>
#include <type_traits>

#include "platform/objc/runtime.h"

// Typed message sends. The argument and result types of a send are encoded as
// the runtime encodes a method's, and a send is refused when they disagree.

namespace objc {

template <class T>
constexpr char typeCode() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_void_v<U>) return 'v';
  else if constexpr (std::is_same_v<U, SEL>) return ':';
  else if constexpr (std::is_same_v<U, Class>) return '#';
  else if constexpr (std::is_pointer_v<U> && std::is_base_of_v<objc_object, std::remove_cv_t<std::remove_pointer_t<U>>>) return '@';
  else if constexpr (std::is_same_v<U, bool>) return 'B';
  else if constexpr (std::is_same_v<U, char> || std::is_same_v<U, signed char>) return 'c';
  else if constexpr (std::is_same_v<U, unsigned char>) return 'C';
  else if constexpr (std::is_same_v<U, short>) return 's';
  else if constexpr (std::is_same_v<U, unsigned short>) return 'S';
  else if constexpr (std::is_same_v<U, int>) return 'i';
  else if constexpr (std::is_same_v<U, unsigned int>) return 'I';
  else if constexpr (std::is_same_v<U, long> || std::is_same_v<U, long long>) return 'q';
  else if constexpr (std::is_same_v<U, unsigned long> || std::is_same_v<U, unsigned long long>) return 'Q';
  else if constexpr (std::is_same_v<U, float>) return 'f';
  else if constexpr (std::is_same_v<U, double>) return 'd';
  else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>) return '*';
  else if constexpr (std::is_pointer_v<U>) return '^';
  else if constexpr (std::is_enum_v<U>) return typeCode<std::underlying_type_t<U>>();
  else return '?';
}

/// The encoding of a method with result R and arguments Args after self and _cmd,
/// in the runtime's form without offsets ("v@:@").
template <class R, class... Args>
const std::string& signature() {
  static const std::string encoded = [] {
    std::string text;
    text += typeCode<R>();
    text += "@:";
    ((text += typeCode<Args>()), ...);
    return text;
  }();
  return encoded;
}

/// Finds the method a send to `cls` reaches, checking it against `expected`.
/// Throws NSInvalidArgumentException naming class and selector on failure.
IMP resolveSend(id receiver, Class cls, SEL selector, const std::string& expected);

}  // namespace objc

/// Sends a message; a send to nil does nothing and returns zero.
template <class R = void, class Receiver, class... Args>
R objc_msgSend(Receiver* receiver, SEL selector, Args... args) {
  id self = receiver;
  if (!self) {
    if constexpr (std::is_void_v<R>) return;
    else return R{};
  }
  IMP implementation = objc::resolveSend(self, self->isa, selector, objc::signature<R, Args...>());
  return reinterpret_cast<R (*)(id, SEL, Args...)>(implementation)(self, selector, args...);
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

