#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/device/PreferencesChange.h"
#include "platform/foundation/Foundation.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {
namespace {

constexpr const char* domain = "com.quillmark.orvane";
constexpr const char* settingsChanged = "com.quillmark.orvane/settingschanged";
const std::string preferencesPath = device::preferencesFile(domain);

/// The value a typed word stands for, or nil if the word does not fit the type.
Retained<NSObject> parseValue(const std::string& type, const std::string& word) {
  if (type == "-string") return NSString::stringWithUTF8String(word);
  if (type == "-bool" || type == "-boolean") {
    if (word == "true" || word == "TRUE" || word == "yes" || word == "YES" || word == "1") return NSNumber::numberWithBool(true);
    if (word == "false" || word == "FALSE" || word == "no" || word == "NO" || word == "0") return NSNumber::numberWithBool(false);
    return nullptr;
  }
  char* end = nullptr;
  if (type == "-int" || type == "-integer") {
    long long number = std::strtoll(word.c_str(), &end, 10);
    return !word.empty() && *end == '\0' ? NSNumber::numberWithInteger(number) : nullptr;
  }
  if (type == "-float") {
    double number = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' ? NSNumber::numberWithDouble(number) : nullptr;
  }
  return nullptr;
}

/// The domain's dictionary; nil if there is no file, an error if it cannot be read.
orvane::Result<Retained<NSMutableDictionary>> readDomain() {
  PropertyListFile file =
      readPropertyListFile(preferencesPath, foundation::maximumBytesForPropertyListFile(preferencesPath));
  auto* dictionary = objc_cast<NSDictionary>(file.value.get());
  if (file.status == PropertyListFileStatus::Absent) return Retained<NSMutableDictionary>(nullptr);
  if (!dictionary) {
    std::string why = file.status == PropertyListFileStatus::Unreadable ? file.reason : "its root is not a dictionary";
    return orvane::Error(std::string("the domain ") + domain + " cannot be read: " + preferencesPath + ": " + why);
  }
  auto preferences = NSMutableDictionary::dictionary();
  preferences->addEntriesFromDictionary(dictionary);
  return preferences;
}

/// Writes the file back within the change that read it, then announces it, as
/// the settings pages do: also when the write failed, which is then reported.
int store(device::PreferencesChange& change, NSMutableDictionary* preferences) {
  bool written = preferences->writeToFile_atomically(NSString::stringWithUTF8String(preferencesPath).get(), true);
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), CFSTR(settingsChanged), nullptr,
                                       nullptr, true);
  if (written) return 0;
  return fail(change.failures().empty() ? std::string("cannot write ") + preferencesPath : change.failures().front());
}

/// A word that names a domain rather than a key: reverse-DNS, as domains are.
bool looksLikeDomain(const std::string& word) {
  return std::count(word.begin(), word.end(), '.') >= 2 && word.find(' ') == std::string::npos;
}

int unknownDomain(const std::string& name) {
  return fail("the domain " + name + " does not exist on this device (its one domain is " + domain + ")");
}

nlohmann::json jsonValue(objc_object* object) {
  if (auto* dictionary = objc_cast<NSDictionary>(object)) {
    nlohmann::json entries = nlohmann::json::object();
    for (const auto& [key, value] : dictionary->entries()) entries[key] = jsonValue(value.get());
    return entries;
  }
  if (auto* array = objc_cast<NSArray>(object)) {
    nlohmann::json items = nlohmann::json::array();
    for (const auto& item : *array) items.push_back(jsonValue(item.get()));
    return items;
  }
  if (auto* string = objc_cast<NSString>(object)) return string->utf8();
  if (auto* number = objc_cast<NSNumber>(object)) {
    switch (number->kind()) {
      case NSNumber::Kind::Boolean: return number->boolValue();
      case NSNumber::Kind::Real: return number->doubleValue();
      case NSNumber::Kind::Integer:
        return number->isUnsigned() ? nlohmann::json(number->unsignedLongLongValue()) : nlohmann::json(number->integerValue());
    }
  }
  // Data and dates as their descriptions.
  return object ? object->description() : std::string();
}

/// Texts of a file may be anything: what is not UTF-8 is shown as U+FFFD.
std::string jsonText(objc_object* object) {
  return jsonValue(object).dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

int defaultsRead(const Invocation& invocation) {
  std::vector<std::string> words = invocation.arguments;
  // One word is a key, or the domain as on macOS; two are the domain and a key.
  bool wholeDomain = words.empty() || (words.size() == 1 && words[0] == domain);
  if (words.size() == 2 && words[0] != domain) return unknownDomain(words[0]);
  if (int status = requireDevice()) return status;
  auto read = readDomain();
  if (!read) return fail(read.error().message());
  Retained<NSMutableDictionary> preferences = std::move(*read);
  if (!preferences) return fail(std::string("the domain ") + domain + " does not exist");
  bool json = invocation.has("--json");
  if (wholeDomain) {
    std::printf("%s\n", json ? jsonText(preferences.get()).c_str() : preferences->description().c_str());
    return 0;
  }
  const std::string& key = words.back();
  objc_object* value = preferences->objectForKey(key);
  if (!value && words.size() == 1 && looksLikeDomain(key)) return unknownDomain(key);
  if (!value) return fail(std::string("the domain/default pair of (") + domain + ", " + key + ") does not exist");
  std::printf("%s\n", json ? jsonText(value).c_str() : value->description().c_str());
  return 0;
}

int defaultsWrite(const Invocation& invocation) {
  static const std::vector<std::string> types = {"-string", "-bool", "-int", "-float"};
  std::string type;
  for (const auto& name : types) {
    if (!invocation.has(name)) continue;
    if (!type.empty()) return cli::wrongUse(invocation, "give one type, not " + type + " and " + name);
    type = name;
  }
  std::vector<std::string> words = invocation.arguments;
  if (!type.empty()) words.push_back(invocation.option(type));
  // KEY VALUE, or DOMAIN KEY VALUE.
  if (words.size() < 2) return cli::wrongUse(invocation, "missing VALUE");
  if (words.size() > 3) return cli::wrongUse(invocation, "unexpected argument \"" + words[3] + "\"");
  if (words.size() == 3 && words[0] != domain) return unknownDomain(words[0]);
  const std::string& key = words[words.size() - 2];
  const std::string& word = words.back();
  Retained<NSObject> value = parseValue(type.empty() ? "-string" : type, word);
  if (!value) return cli::wrongUse(invocation, "bad " + type.substr(1) + " value \"" + word + "\"");
  if (int status = requireDevice()) return status;
  device::PreferencesChange change;
  auto preferences = NSMutableDictionary::dictionaryWithContentsOfFile(NSString::stringWithUTF8String(preferencesPath).get());
  if (!preferences) preferences = NSMutableDictionary::dictionary();
  preferences->setObject_forKey(value.get(), key);
  return store(change, preferences.get());
}

int defaultsDelete(const Invocation& invocation) {
  const std::vector<std::string>& words = invocation.arguments;
  if (words.size() == 2 && words[0] != domain) return unknownDomain(words[0]);
  const std::string& key = words.back();
  if (int status = requireDevice()) return status;
  device::PreferencesChange change;
  auto read = readDomain();
  if (!read) return fail(read.error().message());
  Retained<NSMutableDictionary> preferences = std::move(*read);
  if (!preferences || !preferences->objectForKey(key)) {
    if (words.size() == 1 && key == domain)
      return cli::wrongUse(invocation, std::string("say which key to delete: defaults delete ") + domain + " KEY");
    if (words.size() == 1 && looksLikeDomain(key)) return unknownDomain(key);
    return fail(std::string("the domain/default pair of (") + domain + ", " + key + ") does not exist");
  }
  preferences->removeObjectForKey(key);
  return store(change, preferences.get());
}

int notifyPost(const Invocation& invocation) {
  if (int status = requireDevice()) return status;
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                       NSString::stringWithUTF8String(invocation.arguments[0]).get(), nullptr, nullptr, true);
  return 0;
}

}  // namespace commands
