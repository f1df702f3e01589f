#include "platform/foundation/NSBundle.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"

Class NSBundle::class_() {
  static Class cls = objc_registerCppClass<NSBundle>("NSBundle", NSObject::class_());
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
    info_ = NSDictionary::dictionaryWithContentsOfFile(NSString::stringWithUTF8String(path_ + "/Info.plist"));
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
    if (auto bytes = files::readWhole(device::hostPath(path_ + "/" + language + ".lproj/" + name + ".strings")))
      loaded = foundation::parseStringsTable(*bytes);
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

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

/// UTF-16 with a byte-order mark becomes UTF-8; anything else is taken as UTF-8.
std::string toUtf8(std::string_view bytes) {
  bool little = bytes.starts_with("\xFF\xFE");
  bool big = bytes.starts_with("\xFE\xFF");
  if (!little && !big) return std::string(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
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

class StringsParser {
 public:
  explicit StringsParser(std::string text) : text_(std::move(text)) {}

  std::optional<std::map<std::string, std::string>> parse() {
    std::map<std::string, std::string> table;
    for (;;) {
      if (!skipSpaceAndComments()) return std::nullopt;
      if (at_ >= text_.size()) return table;
      auto key = token();
      if (!key || !skipSpaceAndComments()) return std::nullopt;
      if (at_ < text_.size() && text_[at_] == ';') {  // "key"; stands for "key" = "key";
        table[*key] = *key;
        ++at_;
        continue;
      }
      if (at_ >= text_.size() || text_[at_] != '=') return std::nullopt;
      ++at_;
      if (!skipSpaceAndComments()) return std::nullopt;
      auto value = token();
      if (!value || !skipSpaceAndComments() || at_ >= text_.size() || text_[at_] != ';') return std::nullopt;
      ++at_;
      table[*key] = *value;
    }
  }

 private:
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
        if (end == std::string::npos) return false;
        at_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  std::optional<std::string> token() {
    if (at_ >= text_.size()) return std::nullopt;
    if (text_[at_] != '"') {
      std::size_t start = at_;
      while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_' ||
                                    text_[at_] == '.' || text_[at_] == '$' || text_[at_] == '/' || text_[at_] == ':'))
        ++at_;
      if (at_ == start) return std::nullopt;
      return text_.substr(start, at_ - start);
    }
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
      if (++at_ >= text_.size()) return std::nullopt;
      switch (char escaped = text_[at_]) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'U': case 'u': {
          std::uint32_t code = 0;
          int digits = 0;
          while (digits < 4 && at_ + 1 < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[at_ + 1]))) {
            code = code * 16 + static_cast<std::uint32_t>(std::stoi(std::string(1, text_[++at_]), nullptr, 16));
            ++digits;
          }
          appendUtf8(out, code);
          break;
        }
        default: out += escaped;
      }
    }
    return std::nullopt;
  }

  std::string text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<std::map<std::string, std::string>> parseStringsTable(std::string_view bytes) {
  std::string text = toUtf8(bytes);
  if (text.starts_with("bplist00") || text.find("<plist") != std::string::npos) {
    auto root = NSPropertyListSerialization::propertyListWithData(bytes);
    auto* dictionary = objc_cast<NSDictionary>(root.get());
    if (!dictionary) return std::nullopt;
    std::map<std::string, std::string> table;
    for (auto& [key, value] : dictionary->entries())
      if (auto* string = objc_cast<NSString>(value.get())) table[key] = string->utf8();
    return table;
  }
  return StringsParser(std::move(text)).parse();
}

}  // namespace foundation

namespace {
[[maybe_unused]] const Class registered = NSBundle::class_();
}
