#include "platform/foundation/NSString.h"

#include "platform/propertylist/PropertyListText.h"
#include "platform/objc/Methods.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>
#include <cstdarg>
#include <mutex>
#include <unordered_map>

namespace {

bool wellFormedUtf8(std::string_view bytes) {
  for (std::size_t i = 0, length; i < bytes.size(); i += length)
    if (!(length = foundation::utf8SequenceLength(bytes, i))) return false;
  return true;
}

/// The arguments a format names, read from a variadic call as the C conversions pass them.
std::vector<foundation::FormatArgument> formatArguments(std::string_view format, va_list arguments) {
  std::vector<foundation::FormatArgument> read;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    int longs = 0;
    auto modifies = [](char c) { return std::string_view("-+ #0123456789.hlqLzjt").find(c) != std::string_view::npos; };
    for (++i; i < format.size() && modifies(format[i]); ++i) {
      if (format[i] == 'l') ++longs;
      else if (format[i] == 'q' || format[i] == 'j' || format[i] == 'L') longs = 2;
      else if (format[i] == 'z' || format[i] == 't') longs = std::max(longs, 1);
    }
    if (i >= format.size()) break;
    switch (format[i]) {
      case '%': break;
      case '@': read.emplace_back(static_cast<const objc_object*>(va_arg(arguments, id))); break;
      case 's': read.emplace_back(static_cast<const char*>(va_arg(arguments, const char*))); break;
      case 'd': case 'i': case 'c':
        if (longs >= 2) read.emplace_back(va_arg(arguments, long long));
        else if (longs == 1) read.emplace_back(va_arg(arguments, long));
        else read.emplace_back(va_arg(arguments, int));
        break;
      case 'u': case 'x': case 'X': case 'o':
        if (longs >= 2) read.emplace_back(va_arg(arguments, unsigned long long));
        else if (longs == 1) read.emplace_back(va_arg(arguments, unsigned long));
        else read.emplace_back(va_arg(arguments, unsigned));
        break;
      case 'f': case 'g': case 'e': case 'G': case 'E': read.emplace_back(va_arg(arguments, double)); break;
      // A conversion the formatter does not know is written as it stands and
      // takes no argument from the call; it still takes its place in the list.
      default: read.emplace_back(nullptr);
    }
  }
  return read;
}

// The platform's initialisers consume the receiver: on failure it is released and nil returned.
id initialiseText(NSString* self, std::string_view text) {
  if (!wellFormedUtf8(text)) {
    objc_release(self);
    return nullptr;
  }
  self->setText(text);
  return self;
}

id initWithFormat(NSString* self, SEL, NSString* format, ...) {
  if (!format) {
    objc_release(self);
    throw NSInvalidArgumentException("-[NSString initWithFormat:]: nil argument");
  }
  va_list arguments;
  va_start(arguments, format);
  std::vector<foundation::FormatArgument> read = formatArguments(format->utf8(), arguments);
  va_end(arguments);
  self->setText(foundation::format(format->utf8(), read));
  return self;
}

NSString* autoreleased(Retained<NSString> string) { return string.autorelease(); }

}  // namespace

Class NSString::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSString>("NSString", NSObject::class_());
    // The methods the platform's NSString answers, for code that reaches it by sending.
    objc::addFunction(registered, "initWithBytes:length:encoding:",
                      +[](NSString* self, SEL, const void* bytes, unsigned long length, unsigned long encoding) -> id {
                        // UTF-8, and ASCII as its subset; the product asks for nothing else.
                        std::string_view text(static_cast<const char*>(bytes), bytes ? length : 0);
                        bool ascii = std::none_of(text.begin(), text.end(), [](char c) { return c & 0x80; });
                        if (encoding == NSUTF8StringEncoding || (encoding == NSASCIIStringEncoding && ascii))
                          return initialiseText(self, text);
                        objc_release(self);
                        return nullptr;
                      });
    class_replaceMethod(registered, sel_registerName("initWithFormat:"), reinterpret_cast<IMP>(&initWithFormat),
                        "@@:@");
    objc::addFunction(registered, "UTF8String", +[](NSString* self, SEL) { return self->UTF8String().c_str(); });
    objc::addFunction(registered, "length", +[](NSString* self, SEL) -> unsigned long { return self->length(); });
    objc::addFunction(registered, "boolValue", +[](NSString* self, SEL) -> BOOL { return self->boolValue(); });
    objc::addFunction(registered, "isEqualToString:",
                      +[](NSString* self, SEL, NSString* other) -> BOOL { return self->isEqualToString(other); });
    objc::addFunction(registered, "isEqual:", +[](NSString* self, SEL, id other) -> BOOL {
      auto* string = objc_cast<NSString>(other);
      return string && self->isEqualToString(string);
    });
    objc::addFunction(registered, "hasPrefix:", +[](NSString* self, SEL, NSString* prefix) -> BOOL {
      // The platform's answer for an empty or nil prefix is NO.
      return prefix && !prefix->utf8().empty() && self->hasPrefix(prefix->utf8());
    });
    objc::addFunction(registered, "hasSuffix:", +[](NSString* self, SEL, NSString* suffix) -> BOOL {
      return suffix && !suffix->utf8().empty() && self->hasSuffix(suffix->utf8());
    });
    objc::addFunction(registered, "stringByAppendingString:", +[](NSString* self, SEL, NSString* other) -> NSString* {
      if (!other) throw NSInvalidArgumentException("-[NSString stringByAppendingString:]: nil argument");
      return autoreleased(self->stringByAppendingString(other));
    });
    objc::addFunction(registered, "stringByDeletingPathExtension",
                      +[](NSString* self, SEL) { return autoreleased(self->stringByDeletingPathExtension()); });
    objc::addFunction(registered, "lastPathComponent",
                      +[](NSString* self, SEL) { return autoreleased(self->lastPathComponent()); });
    objc::addFunction(registered, "description", +[](NSString* self, SEL) { return self; });
    // Every object's description, as the platform's root class gives it.
    objc::addFunction(NSObject::class_(), "description", +[](NSObject* self, SEL) {
      return autoreleased(stringWithUTF8String(self->description()));
    });
    return registered;
  }();
  return cls;
}

Retained<NSString> NSString::string() { return stringWithUTF8String(""); }

Retained<NSString> NSString::stringWithUTF8String(std::string_view text) {
  auto string = objc::alloc<NSString>();
  string->text_ = text;
  return string;
}

namespace {

enum class Bound { Limited, Unlimited };

NSString* internText(std::string_view text, Bound bound) {
  static std::mutex mutex;
  static auto* table = new std::unordered_map<std::string, NSString*>;
  static std::size_t limitedCount = 0;
  std::lock_guard lock(mutex);
  auto found = table->find(std::string(text));
  if (found != table->end()) return found->second;
  if (bound == Bound::Limited) {
    if (text.size() > NSString::maximumInternedLength || limitedCount >= NSString::maximumInternedCount) return nullptr;
    ++limitedCount;
  }
  NSString* string = NSString::stringWithUTF8String(text).leak();
  objc_makeImmortal(string);
  table->emplace(std::string(text), string);
  return string;
}

}  // namespace

// Constants come from the program's own literals, a set that cannot grow.
NSString* NSString::constant(std::string_view text) { return internText(text, Bound::Unlimited); }

NSString* NSString::intern(std::string_view text) { return internText(text, Bound::Limited); }

std::size_t NSString::length() const {
  // UTF-16 code units, as the platform counts them.
  std::size_t units = 0;
  for (std::size_t i = 0; i < text_.size(); ++i) {
    auto byte = static_cast<unsigned char>(text_[i]);
    if ((byte & 0xC0) == 0x80) continue;
    units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

bool NSString::boolValue() const {
  std::size_t i = 0;
  while (i < text_.size() && (text_[i] == ' ' || text_[i] == '\t' || text_[i] == '\n')) ++i;
  if (i < text_.size() && (text_[i] == '+' || text_[i] == '-')) ++i;
  while (i < text_.size() && text_[i] == '0') ++i;
  if (i == text_.size()) return false;
  char c = text_[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

Retained<NSString> NSString::stringByAppendingString(const NSString* other) const {
  return stringWithUTF8String(text_ + (other ? other->text_ : std::string()));
}

Retained<NSString> NSString::stringByDeletingPathExtension() const {
  auto slash = text_.rfind('/');
  auto dot = text_.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0 ||
      (slash != std::string::npos && dot == slash + 1))
    return stringWithUTF8String(text_);
  return stringWithUTF8String(text_.substr(0, dot));
}

Retained<NSString> NSString::lastPathComponent() const {
  std::string trimmed = text_;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  auto slash = trimmed.rfind('/');
  return stringWithUTF8String(slash == std::string::npos || trimmed == "/" ? trimmed : trimmed.substr(slash + 1));
}

namespace foundation {

std::string describe(const objc_object* object) { return object ? object->description() : "(null)"; }

std::string format(std::string_view format, const std::vector<FormatArgument>& arguments) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    // Collect flags, width, precision and length modifiers up to the conversion.
    std::size_t start = i++;
    while (i < format.size() && std::string_view("-+ #0123456789.hlqLzjt").find(format[i]) != std::string_view::npos) ++i;
    if (i >= format.size()) {
      out.append(format.substr(start));
      break;
    }
    char conversion = format[i];
    if (conversion == '%') {
      out += '%';
      continue;
    }
    if (next >= arguments.size()) {
      out.append(format.substr(start, i - start + 1));
      continue;
    }
    const FormatArgument& argument = arguments[next++];
    std::string spec(format.substr(start, i - start));
    // Drop length modifiers: the argument carries its own width.
    std::string flags;
    for (char f : spec)
      if (std::string_view("hlqLzjt").find(f) == std::string_view::npos) flags += f;
    using Kind = FormatArgument::Kind;
    switch (conversion) {
      case '@':
        out += argument.kind == Kind::Object   ? describe(argument.object)
               : argument.kind == Kind::Text   ? std::string(argument.text ? argument.text : "(null)")
               : argument.kind == Kind::Real   ? fmt::format("{}", argument.realValue)
               : argument.kind == Kind::Signed ? std::to_string(argument.signedValue)
                                               : std::to_string(argument.unsignedValue);
        break;
      case 's':
        out += argument.kind == Kind::Text ? fmt::sprintf(flags + "s", argument.text ? argument.text : "(null)")
                                           : describe(argument.object);
        break;
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'c':
        if (argument.kind == Kind::Signed)
          out += fmt::sprintf(flags + "ll" + conversion, argument.signedValue);
        else if (argument.kind == Kind::Unsigned)
          out += fmt::sprintf(flags + "ll" + conversion, argument.unsignedValue);
        else if (argument.kind == Kind::Real)
          out += fmt::sprintf(flags + "lld", static_cast<long long>(argument.realValue));
        else
          out += argument.kind == Kind::Object ? describe(argument.object) : std::string(argument.text ? argument.text : "");
        break;
      case 'f': case 'g': case 'e': case 'G': case 'E':
        if (argument.kind == Kind::Real) out += fmt::sprintf(flags + conversion, argument.realValue);
        else if (argument.kind == Kind::Signed) out += fmt::sprintf(flags + conversion, static_cast<double>(argument.signedValue));
        else if (argument.kind == Kind::Unsigned) out += fmt::sprintf(flags + conversion, static_cast<double>(argument.unsignedValue));
        else out += argument.kind == Kind::Object ? describe(argument.object) : std::string(argument.text ? argument.text : "");
        break;
      default:
        out.append(format.substr(start, i - start + 1));
    }
  }
  return out;
}

}  // namespace foundation

namespace {
[[maybe_unused]] const Class registered = NSString::class_();
}
