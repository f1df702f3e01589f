#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/objc/NSObject.h"

enum : unsigned long { NSASCIIStringEncoding = 1, NSUTF8StringEncoding = 4 };

class NSString : public NSObject {
 public:
  static Class class_();
  static Retained<NSString> string();
  static Retained<NSString> stringWithUTF8String(std::string_view text);
  /// An immortal string for a literal; the same object for the same text.
  static NSString* constant(std::string_view text);
  /// Interned strings live as long as the process, so intern keeps at most
  /// this many distinct texts (constants aside), none longer than this.
  static constexpr std::size_t maximumInternedCount = 4096;
  static constexpr std::size_t maximumInternedLength = 1024;
  /// The same object for equal text, for the life of the process; nil for a
  /// text longer than maximumInternedLength, or a new text once
  /// maximumInternedCount are kept.
  static NSString* intern(std::string_view text);

  /// Formats "%@" with an object's description (nil prints "(null)"), and the
  /// C conversions %d %i %u %ld %lu %lld %llu %f %g %s %c %x %%.
  template <class... Arguments>
  static Retained<NSString> stringWithFormat(std::string_view format, const Arguments&... arguments);

  const std::string& UTF8String() const { return text_; }
  const std::string& utf8() const { return text_; }
  std::size_t length() const;
  /// YES for text that starts, after white space, a sign and zeros, with Y, y, T, t or a digit 1 to 9.
  bool boolValue() const;
  bool isEqualToString(const NSString* other) const { return other && text_ == other->text_; }
  bool hasPrefix(std::string_view prefix) const { return text_.starts_with(prefix); }
  bool hasSuffix(std::string_view suffix) const { return text_.ends_with(suffix); }
  bool containsString(std::string_view part) const { return text_.find(part) != std::string::npos; }
  Retained<NSString> stringByAppendingString(const NSString* other) const;
  Retained<NSString> stringByDeletingPathExtension() const;
  Retained<NSString> lastPathComponent() const;

  std::string description() const override { return text_; }
  /// What an initialiser gives a freshly allocated string.
  void setText(std::string_view text) { text_ = text; }

 protected:
  std::string text_;
};

/// An immortal string constant, like @"..." in the platform's language.
#define NSSTR(literal) (::NSString::constant(literal))

namespace foundation {

/// One argument of stringWithFormat.
struct FormatArgument {
  enum class Kind { Object, Signed, Unsigned, Real, Text } kind;
  const objc_object* object = nullptr;
  long long signedValue = 0;
  unsigned long long unsignedValue = 0;
  double realValue = 0;
  const char* text = nullptr;

  FormatArgument(const objc_object* value) : kind(Kind::Object), object(value) {}
  template <class T>
  FormatArgument(const Retained<T>& value) : kind(Kind::Object), object(value.get()) {}
  FormatArgument(std::nullptr_t) : kind(Kind::Object) {}
  FormatArgument(const char* value) : kind(Kind::Text), text(value) {}
  FormatArgument(const std::string& value) : kind(Kind::Text), text(value.c_str()) {}
  FormatArgument(bool value) : kind(Kind::Signed), signedValue(value) {}
  FormatArgument(int value) : kind(Kind::Signed), signedValue(value) {}
  FormatArgument(long value) : kind(Kind::Signed), signedValue(value) {}
  FormatArgument(long long value) : kind(Kind::Signed), signedValue(value) {}
  FormatArgument(unsigned value) : kind(Kind::Unsigned), unsignedValue(value) {}
  FormatArgument(unsigned long value) : kind(Kind::Unsigned), unsignedValue(value) {}
  FormatArgument(unsigned long long value) : kind(Kind::Unsigned), unsignedValue(value) {}
  FormatArgument(double value) : kind(Kind::Real), realValue(value) {}
  FormatArgument(float value) : kind(Kind::Real), realValue(value) {}
};

std::string format(std::string_view format, const std::vector<FormatArgument>& arguments);

/// The description of any object, "(null)" for nil.
std::string describe(const objc_object* object);

}  // namespace foundation

template <class... Arguments>
Retained<NSString> NSString::stringWithFormat(std::string_view format, const Arguments&... arguments) {
  return stringWithUTF8String(foundation::format(format, {foundation::FormatArgument(arguments)...}));
}
