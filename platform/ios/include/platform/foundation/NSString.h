#pragma once

#include <string_view>

#include "platform/objc/NSObject.h"

namespace objc {
/// What a C++ value of the product passes as through a variadic message.
template <class T>
inline T* variadicArgument(const Retained<T>& value) { return value.get(); }
template <class T>
inline T variadicArgument(T value) { return value; }
}  // namespace objc

enum : unsigned long { NSUTF8StringEncoding = 4 };

class NSString : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSString"); }
  static Retained<NSString> string() { return stringWithUTF8String(""); }
  static Retained<NSString> stringWithUTF8String(std::string_view text) {
    return objc::allocInit<NSString>(class_(), ORVANE_SEL("initWithBytes:length:encoding:"),
                                     static_cast<const void*>(text.data()), static_cast<unsigned long>(text.size()),
                                     static_cast<unsigned long>(NSUTF8StringEncoding));
  }

  /// `[NSString stringWithFormat:...]`, made through alloc and initWithFormat:,
  /// so no autorelease pool is needed.
  template <class... Arguments>
  static Retained<NSString> stringWithFormat(NSString* format, const Arguments&... arguments) {
    // initWithFormat: consumes the allocated reference and returns its own.
    NSString* allocated = objc::alloc<NSString>().leak();
    return Retained<NSString>::adopt(objc::sendVariadic<NSString*, NSString*>(
        allocated, ORVANE_SEL("initWithFormat:"), format, objc::variadicArgument(arguments)...));
  }

  const char* UTF8String() const { return objc::sendMessage<const char*>(this, ORVANE_SEL("UTF8String")); }
  unsigned long length() const { return objc::sendMessage<unsigned long>(this, ORVANE_SEL("length")); }
  bool boolValue() const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("boolValue")); }
  bool isEqualToString(const NSString* other) const {
    return objc::sendMessage<BOOL>(this, ORVANE_SEL("isEqualToString:"), other);
  }
  bool hasPrefix(const NSString* prefix) const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("hasPrefix:"), prefix); }
  bool hasSuffix(const NSString* suffix) const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("hasSuffix:"), suffix); }
  Retained<NSString> stringByAppendingString(const NSString* other) const {
    return objc::retain(objc::sendMessage<NSString*>(this, ORVANE_SEL("stringByAppendingString:"), other));
  }
  Retained<NSString> stringByDeletingPathExtension() const {
    return objc::retain(objc::sendMessage<NSString*>(this, ORVANE_SEL("stringByDeletingPathExtension")));
  }
  Retained<NSString> lastPathComponent() const {
    return objc::retain(objc::sendMessage<NSString*>(this, ORVANE_SEL("lastPathComponent")));
  }
};
