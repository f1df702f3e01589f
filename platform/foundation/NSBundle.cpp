#include "platform/foundation/NSBundle.h"

#include "platform/objc/Methods.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"
#include "platform/propertylist/PropertyListText.h"

Class NSBundle::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSBundle>("NSBundle", NSObject::class_());
    objc::addClassFunction(registered, "bundleWithPath:",
                           +[](Class, SEL, NSString* path) { return bundleWithPath(path); });
    objc::addFunction(registered, "pathForResource:ofType:", +[](NSBundle* self, SEL, NSString* name, NSString* type) {
      return self->pathForResource_ofType(name, type).autorelease();
    });
    objc::addFunction(registered, "localizedStringForKey:value:table:",
                      +[](NSBundle* self, SEL, NSString* key, NSString* value, NSString* table) {
                        return self->localizedStringForKey_value_table(key, value, table).autorelease();
                      });
    return registered;
  }();
  return cls;
}

NSBundle* NSBundle::bundleWithPath(const NSString* path) {
  if (!path) return nullptr;
  std::string devicePath = path->utf8();
  while (devicePath.size() > 1 && devicePath.back() == '/') devicePath.pop_back();
  struct stat info {};
  if (stat(device::hostPath(devicePath).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
  static std::mutex mutex;
  static auto* bundles = new std::map<std::string, NSBundle*>;
  std::lock_guard lock(mutex);
  NSBundle*& bundle = (*bundles)[device::root() + "\n" + devicePath];
  if (!bundle) {
    bundle = static_cast<NSBundle*>(objc_makeImmortal(class_createInstance(class_(), 0)));
    bundle->path_ = devicePath;
  }
  return bundle;
}

NSDictionary* NSBundle::infoDictionary() {
  std::lock_guard lock(mutex_);
  if (!info_) {
    info_ = NSDictionary::dictionaryWithContentsOfFile(NSString::stringWithUTF8String(path_ + "/Info.plist").get());
    if (!info_) info_ = NSDictionary::dictionary();
  }
  return info_.get();
}

objc_object* NSBundle::objectForInfoDictionaryKey(std::string_view key) { return infoDictionary()->objectForKey(key); }

std::vector<std::string> NSBundle::searchLanguages() {
  std::vector<std::string> languages;
  auto add = [&](const std::string& language) {
    if (!language.empty() && std::find(languages.begin(), languages.end(), language) == languages.end())
      languages.push_back(language);
  };
  std::string preferred = device::setting("Language").value_or("en");
  add(preferred);
  for (char separator : {'-', '_'})
    if (auto cut = preferred.find(separator); cut != std::string::npos) add(preferred.substr(0, cut));
  auto* development = objc_cast<NSString>(objectForInfoDictionaryKey("CFBundleDevelopmentRegion"));
  add(development ? development->utf8() : "en");
  return languages;
}

Retained<NSString> NSBundle::pathForResource_ofType(const NSString* name, const NSString* type) {
  if (!name) return nullptr;
  std::string file = name->utf8();
  if (type && !type->utf8().empty()) file += (type->utf8().front() == '.' ? "" : ".") + type->utf8();
  std::vector<std::string> candidates = {path_ + "/" + file};
  for (auto& language : searchLanguages()) candidates.push_back(path_ + "/" + language + ".lproj/" + file);
  candidates.push_back(path_ + "/Base.lproj/" + file);
  for (auto& candidate : candidates) {
    struct stat info {};
    if (stat(device::hostPath(candidate).c_str(), &info) == 0) return NSString::stringWithUTF8String(candidate);
  }
  return nullptr;
}

const NSBundle::Table* NSBundle::table(const std::string& language, const std::string& name) {
  std::string key = language + "/" + name;
  auto found = tables_.find(key);
  if (found == tables_.end()) {
    std::optional<Table> loaded;
    std::string file = path_ + "/" + language + ".lproj/" + name + ".strings";
    // A table that cannot be used is left out, as on the device, but a developer learns why.
    auto contents = files::readDeviceFile(file, foundation::maxStringsTableBytes);
    if (contents) {
      foundation::StringsTableError error;
      loaded = foundation::parseStringsTable(*contents, &error);
      if (!loaded)
        std::fprintf(stderr, "NSBundle: %s:%zu: %s; the table is not used\n", file.c_str(), error.line,
                     error.reason.c_str());
    } else if (contents.error().code() != ENOENT) {
      std::fprintf(stderr, "NSBundle: %s: %s; the table is not used\n", file.c_str(), contents.error().message().c_str());
    }
    found = tables_.emplace(key, std::move(loaded)).first;
  }
  return found->second ? &*found->second : nullptr;
}

Retained<NSString> NSBundle::localizedStringForKey_value_table(const NSString* key, const NSString* value,
                                                               const NSString* tableName) {
  if (!key) return value && !value->utf8().empty() ? NSString::stringWithUTF8String(value->utf8()) : NSString::string();
  std::string name = tableName && !tableName->utf8().empty() ? tableName->utf8() : "Localizable";
  auto languages = searchLanguages();
  std::lock_guard lock(mutex_);
  for (auto& language : languages)
    if (const Table* strings = table(language, name))
      if (auto entry = strings->find(key->utf8()); entry != strings->end()) return NSString::stringWithUTF8String(entry->second);
  if (value && !value->utf8().empty()) return NSString::stringWithUTF8String(value->utf8());
  return NSString::stringWithUTF8String(key->utf8());
}

namespace foundation {
namespace {

/// UTF-16 with a byte-order mark becomes UTF-8; anything else is taken as
/// UTF-8. Whatever is not well formed becomes U+FFFD, so the table holds text.
std::string toUtf8(std::string_view bytes) {
  bool little = bytes.starts_with("\xFF\xFE");
  bool big = bytes.starts_with("\xFE\xFF");
  if (!little && !big) return wellFormedUtf8(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
  std::string out;
  auto unit = [&](std::size_t i) {
    auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<std::uint32_t>(little ? (b << 8 | a) : (a << 8 | b));
  };
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    std::uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
      std::uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    appendUtf8(out, code);
  }
  return out;
}

/// A property list starts, after a byte-order mark and white space, with "<"
/// (an XML declaration, a document type or the plist element) or is binary.
bool looksLikePropertyList(std::string_view text) {
  if (text.starts_with("bplist")) return true;
  std::size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && text[first] == '<';
}

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::uint32_t hexValue(char c) {
  return static_cast<std::uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
}

class StringsParser {
 public:
  explicit StringsParser(std::string text) : text_(std::move(text)) {}

  std::optional<std::map<std::string, std::string>> parse(StringsTableError* error) {
    std::map<std::string, std::string> table;
    auto fail = [&]() -> std::optional<std::map<std::string, std::string>> {
      if (error) {
        error->line = 1 + static_cast<std::size_t>(std::count(text_.begin(), text_.begin() + failedAt_, '\n'));
        error->reason = reason_;
      }
      return std::nullopt;
    };
    for (;;) {
      if (!skipSpaceAndComments()) return fail();
      if (at_ >= text_.size()) return table;
      auto key = token("a key");
      std::size_t keyEnd = at_;
      if (!key || !skipSpaceAndComments()) return fail();
      if (at_ < text_.size() && text_[at_] == ';') {  // "key"; stands for "key" = "key";
        table[*key] = *key;
        ++at_;
        continue;
      }
      if (at_ >= text_.size() || text_[at_] != '=') return failure(keyEnd, "expected \"=\" or \";\" after the key"), fail();
      ++at_;
      if (!skipSpaceAndComments()) return fail();
      auto value = token("a value");
      std::size_t valueEnd = at_;
      if (!value || !skipSpaceAndComments()) return fail();
      if (at_ >= text_.size() || text_[at_] != ';') return failure(valueEnd, "expected \";\" after the value"), fail();
      ++at_;
      table[*key] = *value;
    }
  }

 private:
  void expected(const char* what) { failure(at_, std::string("expected ") + what); }
  void failure(std::size_t at, std::string reason) {
    failedAt_ = std::min(at, text_.size());
    reason_ = std::move(reason);
  }

  bool skipSpaceAndComments() {
    while (at_ < text_.size()) {
      char c = text_[at_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++at_;
      } else if (text_.compare(at_, 2, "//") == 0) {
        at_ = text_.find('\n', at_);
        if (at_ == std::string::npos) at_ = text_.size();
      } else if (text_.compare(at_, 2, "/*") == 0) {
        auto end = text_.find("*/", at_ + 2);
        if (end == std::string::npos) {
          failure(at_, "a comment is never closed");
          return false;
        }
        at_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  /// Four hexadecimal digits after "\U" or "\u" at `at_`; fewer are taken as they are.
  std::uint32_t escapedUnit() {
    std::uint32_t code = 0;
    for (int digits = 0; digits < 4 && at_ + 1 < text_.size() && isHexDigit(text_[at_ + 1]); ++digits)
      code = code * 16 + hexValue(text_[++at_]);
    return code;
  }

  /// A UTF-16 escape; a high surrogate pairs with a low one escaped right
  /// after it, any other surrogate becomes U+FFFD.
  void appendEscapedUnit(std::string& out) {
    std::uint32_t code = escapedUnit();
    if (code >= 0xD800 && code < 0xDC00 && at_ + 6 < text_.size() && text_[at_ + 1] == '\\' &&
        (text_[at_ + 2] == 'U' || text_[at_ + 2] == 'u') &&
        std::all_of(text_.begin() + static_cast<std::ptrdiff_t>(at_ + 3), text_.begin() + static_cast<std::ptrdiff_t>(at_ + 7), isHexDigit)) {
      std::size_t resume = at_;
      at_ += 2;
      std::uint32_t low = escapedUnit();
      if (low >= 0xDC00 && low < 0xE000) {
        appendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
        return;
      }
      at_ = resume;
    }
    appendUtf8(out, code);
  }

  std::optional<std::string> token(const char* what) {
    if (at_ >= text_.size()) return expected(what), std::nullopt;
    if (text_[at_] != '"') {
      std::size_t start = at_;
      while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_' ||
                                    text_[at_] == '.' || text_[at_] == '$' || text_[at_] == '/' || text_[at_] == ':'))
        ++at_;
      if (at_ == start) return expected(what), std::nullopt;
      return text_.substr(start, at_ - start);
    }
    std::size_t opening = at_;
    std::string out;
    for (++at_; at_ < text_.size(); ++at_) {
      char c = text_[at_];
      if (c == '"') {
        ++at_;
        return out;
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      if (++at_ >= text_.size()) break;
      switch (char escaped = text_[at_]) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'U': case 'u': appendEscapedUnit(out); break;
        default: out += escaped;
      }
    }
    failure(opening, "a quoted string is never closed");
    return std::nullopt;
  }

  std::string text_;
  std::size_t at_ = 0;
  std::size_t failedAt_ = 0;
  std::string reason_;
};

}  // namespace

std::optional<std::map<std::string, std::string>> parseStringsTable(std::string_view bytes, StringsTableError* error) {
  std::string text = toUtf8(bytes);
  if (looksLikePropertyList(text)) {
    auto root = NSPropertyListSerialization::propertyListWithData(
        bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
    auto* dictionary = objc_cast<NSDictionary>(root.get());
    if (!dictionary) {
      if (error) *error = {1, "not a property list of strings"};
      return std::nullopt;
    }
    std::map<std::string, std::string> table;
    for (auto& [key, value] : dictionary->entries())
      if (auto* string = objc_cast<NSString>(value.get())) table[wellFormedUtf8(key)] = wellFormedUtf8(string->utf8());
    return table;
  }
  return StringsParser(std::move(text)).parse(error);
}

}  // namespace foundation

namespace {
[[maybe_unused]] const Class registered = NSBundle::class_();
}
