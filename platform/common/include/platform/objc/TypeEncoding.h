#pragma once

#include <string>
#include <type_traits>

#include "platform/objc/runtime.h"

// The runtime's type encodings of C++ types, shared by both targets: the
// methods the product adds to its classes carry them.

namespace objc {

/// Whether a pointer to P points to an object. An incomplete type (an opaque
/// C type such as CGColor) is not one.
template <class P>
constexpr bool pointsToObject() {
  if constexpr (requires { sizeof(P); }) return std::is_base_of_v<objc_object, P>;
  else return false;
}

template <class T>
constexpr char typeCode() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_void_v<U>) return 'v';
  else if constexpr (std::is_same_v<U, SEL>) return ':';
  else if constexpr (std::is_same_v<U, Class>) return '#';
  else if constexpr (std::is_pointer_v<U> && pointsToObject<std::remove_cv_t<std::remove_pointer_t<U>>>()) return '@';
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
/// in the runtime's form without offsets ("v@:@", "v@:^v").
template <class R, class... Args>
const std::string& signature() {
  static const std::string encoded = [] {
    std::string text;
    // A pointer to anything but an object is written as a pointer to void.
    auto add = [&text](char code) {
      text += code;
      if (code == '^') text += 'v';
    };
    add(typeCode<R>());
    text += "@:";
    (add(typeCode<Args>()), ...);
    return text;
  }();
  return encoded;
}

}  // namespace objc
