#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/PreferencesChange.h"
#include "platform/foundation/Foundation.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {
namespace {

constexpr const char* domain = "com.quillmark.orvane";
constexpr const char* preferencesPath = "/var/mobile/Library/Preferences/com.quillmark.orvane.plist";
constexpr const char* settingsChanged = "com.quillmark.orvane/settingschanged";

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

/// The domain's dictionary; nil if there is no file, or if it cannot be read,
/// which `unreadable` then says.
Retained<NSMutableDictionary> readDomain(std::string& unreadable) {
  PropertyListFile file =
      readPropertyListFile(preferencesPath, foundation::maximumBytesForPropertyListFile(preferencesPath));
  auto* dictionary = objc_cast<NSDictionary>(file.value.get());
  if (file.status == PropertyListFileStatus::Absent) return nullptr;
  if (!dictionary) {
    std::string why = file.status == PropertyListFileStatus::Unreadable ? file.reason : "its root is not a dictionary";
    unreadable = std::string("the domain ") + domain + " cannot be read: " + preferencesPath + ": " + why;
    return nullptr;
  }
  auto preferences = NSMutableDictionary::dictionary();
  preferences->addEntriesFromDictionary(dictionary);
  return preferences;
}

/// Writes the file back within the change that read it, then announces it, as
/// the settings pages do: also when the write failed, which is then reported.
int store(device::PreferencesChange& change, NSMutableDictionary* preferences) {
  bool written = preferences->writeToFile_atomically(NSSTR(preferencesPath), true);
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), CFSTR(settingsChanged), nullptr,
                                       nullptr, true);
  if (written) return 0;
  return fail(change.failures().empty() ? std::string("cannot write ") + preferencesPath : change.failures().front());
}

}  // namespace

int defaults(const Arguments& arguments) {
  if (arguments.empty()) return usageError;
  const std::string& verb = arguments[0];
  if (verb == "read" && arguments.size() <= 2) {
    if (int status = requireDevice()) return status;
    std::string unreadable;
    auto preferences = readDomain(unreadable);
    if (!unreadable.empty()) return fail(unreadable);
    if (!preferences) return fail(std::string("the domain ") + domain + " does not exist");
    if (arguments.size() == 1) {
      std::printf("%s\n", preferences->description().c_str());
      return 0;
    }
    objc_object* value = preferences->objectForKey(arguments[1]);
    if (!value) return fail(std::string("the domain/default pair of (") + domain + ", " + arguments[1] + ") does not exist");
    std::printf("%s\n", value->description().c_str());
    return 0;
  }
  if (verb == "write" && (arguments.size() == 3 || arguments.size() == 4)) {
    bool typed = arguments.size() == 4;
    std::string type = typed ? arguments[2] : "-string";
    Retained<NSObject> value = parseValue(type, arguments.back());
    if (!value) return typed && parseValue(type, "0") ? fail("\"" + arguments.back() + "\" is not a " + type.substr(1) + " value") : usageError;
    if (int status = requireDevice()) return status;
    device::PreferencesChange change;
    auto preferences = NSMutableDictionary::dictionaryWithContentsOfFile(NSSTR(preferencesPath));
    if (!preferences) preferences = NSMutableDictionary::dictionary();
    preferences->setObject_forKey(value.get(), arguments[1]);
    return store(change, preferences);
  }
  if (verb == "delete" && arguments.size() == 2) {
    if (int status = requireDevice()) return status;
    device::PreferencesChange change;
    std::string unreadable;
    auto preferences = readDomain(unreadable);
    if (!unreadable.empty()) return fail(unreadable);
    if (!preferences || !preferences->objectForKey(arguments[1]))
      return fail(std::string("the domain/default pair of (") + domain + ", " + arguments[1] + ") does not exist");
    preferences->removeObjectForKey(arguments[1]);
    return store(change, preferences);
  }
  return usageError;
}

int notify(const Arguments& arguments) {
  if (arguments.size() != 2 || arguments[0] != "post" || arguments[1].empty()) return usageError;
  if (int status = requireDevice()) return status;
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                       NSString::stringWithUTF8String(arguments[1]), nullptr, nullptr, true);
  return 0;
}

}  // namespace commands
