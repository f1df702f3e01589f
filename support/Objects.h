#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/NSString.h"

// What the product's C++ needs of the platform's objects and the platform
// itself does not offer: its language writes string constants and asks an
// object's class where C++ cannot, and C++ reads text as std::string.
namespace orvane {

/// The same immortal string for equal text, for the life of the process: what
/// @"..." is in the platform's language.
NSString* constantString(std::string_view text);

/// The object as a T, or nil if it is none.
template <class T>
T* as(objc_object* object) {
  if (!object || !static_cast<NSObject*>(object)->isKindOfClass(T::class_())) return nullptr;
  return static_cast<T*>(object);
}

/// The reference as one to T; nil if the object is none (the reference then
/// stays where it was, released with its temporary).
template <class T, class U>
Retained<T> as(Retained<U>&& object) {
  return objc::handOver(std::move(object), as<T>(object.get()));
}

/// The string's text; empty for nil.
std::string utf8(const NSString* text);
inline std::string utf8(const Retained<NSString>& text) { return utf8(text.get()); }

/// The object's description, "(null)" for nil.
std::string describe(const objc_object* object);

}  // namespace orvane

/// An immortal string constant, as @"..." is: a literal or a constant of the
/// contract, looked up once per place it is written. Text known only at run
/// time goes through orvane::constantString.
#define NSSTR(literal)                                                 \
  ([]() -> NSString* {                                                 \
    static NSString* const kept = ::orvane::constantString(literal);   \
    return kept;                                                       \
  }())
