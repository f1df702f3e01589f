#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

#include "contract/Orvane.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/device/PreferencesChange.h"
#include "platform/foundation/Foundation.h"
#include "sim/orvane-sim/Commands.h"
#include "sim/orvane-sim/PageKeys.h"
#include "sim/orvane-sim/Themes.h"

namespace commands {
namespace {

constexpr const char* domain = orvane::contract::domain.c_str();
constexpr const char* settingsChanged = orvane::contract::settingsChanged.c_str();
const std::string preferencesPath = device::preferencesFile(domain);

bool isScalarType(const std::string& type) {
  return type == "-string" || type == "-bool" || type == "-int" || type == "-float" || type == "-date" || type == "-data";
}

/// Seconds since 2001-01-01 00:00:00 UTC of "2024-05-01", "2024-05-01 12:30:00",
/// "2024-05-01T12:30:00Z" or either with an offset ("+0200", "-05:00").
std::optional<double> parseDate(const std::string& word) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
  if (std::sscanf(word.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3 || consumed != 10) return std::nullopt;
  std::string rest = word.substr(10);
  if (!rest.empty()) {
    if ((rest[0] != ' ' && rest[0] != 'T') ||
        std::sscanf(rest.c_str() + 1, "%2d:%2d:%2d%n", &hour, &minute, &second, &consumed) != 3 || consumed != 8)
      return std::nullopt;
    rest = rest.substr(9);
  }
  int offset = 0;
  if (!rest.empty() && rest[0] == ' ') rest = rest.substr(1);
  if (rest == "Z" || rest == "UTC" || rest == "GMT") {
    rest.clear();
  } else if (!rest.empty()) {
    int hours = 0, minutes = 0;
    std::string digits = rest.substr(1);
    if (digits.size() == 5 && digits[2] == ':') digits.erase(2, 1);
    if ((rest[0] != '+' && rest[0] != '-') || digits.size() != 4 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      return std::nullopt;
    hours = std::stoi(digits.substr(0, 2));
    minutes = std::stoi(digits.substr(2));
    offset = (rest[0] == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
  }
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  std::time_t unix = ::timegm(&parts);
  if (parts.tm_mday != day) return std::nullopt;  // 31 April rolled over
  constexpr double referenceDate = 978307200;   // 2001-01-01 in Unix time
  return static_cast<double>(unix) - offset - referenceDate;
}

/// The bytes of hex digits ("0a1B", spaces and "<>" as the data's description shows them allowed).
std::optional<std::string> parseData(const std::string& word) {
  std::string digits;
  for (char c : word)
    if (c != ' ' && c != '<' && c != '>') digits += c;
  if (digits.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t at = 0; at < digits.size(); at += 2) {
    int high = std::isxdigit(static_cast<unsigned char>(digits[at])) ? std::stoi(digits.substr(at, 1), nullptr, 16) : -1;
    int low = std::isxdigit(static_cast<unsigned char>(digits[at + 1])) ? std::stoi(digits.substr(at + 1, 1), nullptr, 16) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

/// The value a typed word stands for, or nil if the word does not fit the type.
Retained<NSObject> parseValue(const std::string& type, const std::string& word) {
  if (type == "-string") return NSString::stringWithUTF8String(word);
  if (type == "-bool") {
    if (word == "true" || word == "TRUE" || word == "yes" || word == "YES" || word == "1") return NSNumber::numberWithBool(true);
    if (word == "false" || word == "FALSE" || word == "no" || word == "NO" || word == "0") return NSNumber::numberWithBool(false);
    return nullptr;
  }
  char* end = nullptr;
  if (type == "-int") {
    errno = 0;
    long long number = std::strtoll(word.c_str(), &end, 10);
    return !word.empty() && *end == '\0' && errno != ERANGE ? NSNumber::numberWithInteger(number) : nullptr;
  }
  if (type == "-float") {
    double number = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' && std::isfinite(number) ? NSNumber::numberWithDouble(number) : nullptr;
  }
  if (type == "-date") {
    auto seconds = parseDate(word);
    return seconds ? NSDate::dateWithTimeIntervalSinceReferenceDate(*seconds) : nullptr;
  }
  if (type == "-data") {
    auto bytes = parseData(word);
    return bytes ? NSData::dataWithBytes(*bytes) : nullptr;
  }
  return nullptr;
}

/// What each type expects, for errors.
std::string typeExpects(const std::string& type) {
  if (type == "-bool") return "true, false, yes, no, 1 or 0";
  if (type == "-int") return "a whole number";
  if (type == "-float") return "a number";
  if (type == "-date") return "a date such as 2024-05-01 or \"2024-05-01 12:30:00 +0000\"";
  if (type == "-data") return "hex digits in pairs, such as 0a1b";
  return "text";
}

/// "an integer", "a string".
std::string withArticle(const std::string& noun) {
  return (std::string("aeiou").find(noun[0]) != std::string::npos ? "an " : "a ") + noun;
}

/// "Type is boolean", as macOS names them.
std::string typeName(objc_object* value) {
  if (auto* number = objc_cast<NSNumber>(value)) {
    switch (number->kind()) {
      case NSNumber::Kind::Boolean: return "boolean";
      case NSNumber::Kind::Real: return "float";
      case NSNumber::Kind::Integer: return "integer";
    }
  }
  if (objc_cast<NSString>(value)) return "string";
  if (objc_cast<NSDictionary>(value)) return "dictionary";
  if (objc_cast<NSArray>(value)) return "array";
  if (objc_cast<NSDate>(value)) return "date";
  if (objc_cast<NSData>(value)) return "data";
  return "unknown";
}

/// The domain's dictionary; nil if there is no file, an error if it cannot be read.
orvane::Result<Retained<NSMutableDictionary>> readDomain() {
  auto file = readPropertyListFile(preferencesPath, foundation::maximumBytesForPropertyListFile(preferencesPath));
  if (!file && isAbsentFile(file.error())) return Retained<NSMutableDictionary>(nullptr);
  auto* dictionary = file ? objc_cast<NSDictionary>(file->get()) : nullptr;
  if (!dictionary) {
    std::string why = file ? "its root is not a dictionary" : file.error().message();
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
  // A change that could not take the preferences lock is stored, but said to have failed.
  if (written && change.failures().empty()) return 0;
  if (change.failures().empty()) return fail(std::string("cannot write ") + preferencesPath);
  std::string failures;
  for (const auto& failure : change.failures()) failures += (failures.empty() ? "" : "; ") + failure;
  return fail(failures);
}

/// A word that names a domain rather than a key: reverse-DNS, as domains are.
bool looksLikeDomain(const std::string& word) {
  return std::count(word.begin(), word.end(), '.') >= 2 && word.find(' ') == std::string::npos;
}

int unknownDomain(const std::string& name) {
  return fail("the domain " + name + " does not exist on this device (its one domain is " + domain + ")");
}

/// Up to `limit` bytes of an open file; more is refused.
orvane::Result<std::string> readAll(int descriptor, const std::string& name, std::size_t limit) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return orvane::Error("cannot read " + name + ": " + std::strerror(errno), errno);
    if (got == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(got));
    if (bytes.size() > limit) return orvane::Error(name + " is larger than a domain may be (" + std::to_string(limit) + " bytes)");
  }
}

/// A regular host file of at most `limit` bytes, never waiting on a FIFO.
orvane::Result<std::string> readHostFile(const std::string& path, std::size_t limit) {
  files::Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return orvane::Error("cannot read " + path + ": " + std::strerror(errno), errno);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return orvane::Error(path + " is not a regular file");
  return readAll(file.get(), path, limit);
}

std::string commaSeparated(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : ", ") + word;
  return text;
}

/// Warns of a stored value that the pages will not use as it was meant: a key
/// they do not read, or a theme that does not play.
void warnAbout(const std::string& key, objc_object* value) {
  std::vector<pagekeys::Key> keys = pagekeys::installed();
  // Without the pages installed there is nothing to judge by.
  if (keys.empty()) return;
  auto known = std::find_if(keys.begin(), keys.end(), [&](const pagekeys::Key& page) { return page.name == key; });
  if (known == keys.end()) {
    std::vector<std::string> names = pagekeys::names(keys);
    std::string near = cli::closest(key, names);
    warn("the pages read no key \"" + key + "\"" + (near.empty() ? "" : " (did you mean " + near + "?)") +
         "; it is stored all the same. They read " + commaSeparated(names) + ".");
    return;
  }
  if (!known->theme) return;
  auto* text = objc_cast<NSString>(value);
  std::string button = key;
  for (const auto& choice : chosenThemes())
    if (choice.key == key) button = "volume " + choice.button;
  if (!text) {
    warn(key + " names a sound theme, and this is " + withArticle(typeName(value)) + ": " + button + " plays nothing");
    return;
  }
  themes::Theme theme = themes::examine(text->utf8());
  if (theme.plays) return;
  if (theme.problem == "missing") {
    std::string near = cli::closest(theme.name, themes::names(themes::installed()));
    warn("there is no theme \"" + theme.name + "\"" + (near.empty() ? "" : " (did you mean " + near + "?)") + ": " +
         button + " plays nothing. " + hint("themes") + " lists them.");
  } else {
    warn("the theme \"" + theme.name + "\" does not play (" + theme.problem + "): " + button + " plays nothing. " +
         hint("themes") + " lists them.");
  }
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
  static const std::vector<std::string> types = {"-string", "-bool", "-int",   "-float", "-date",
                                                 "-data",   "-array", "-array-add", "-dict", "-dict-add"};
  std::string type;
  for (const auto& name : types) {
    if (!invocation.has(name)) continue;
    if (!type.empty()) return cli::wrongUse(invocation, "give one type, not " + type + " and " + name);
    type = name;
  }
  const std::string usage = "; usage: defaults write [DOMAIN] KEY [-TYPE] VALUE";
  std::vector<std::string> words = invocation.arguments;
  bool collection = !type.empty() && !isScalarType(type);
  if (!collection) {
    // KEY VALUE, or DOMAIN KEY VALUE.
    bool typed = !type.empty();
    if (typed) words.push_back(invocation.option(type));
    if (words.size() == 2 && words[0] == domain)
      return cli::wrongUse(invocation, (typed ? "missing KEY" : "missing VALUE for the key \"" + words[1] + "\"") + usage);
    if (words.size() < 2) return cli::wrongUse(invocation, "missing VALUE" + usage);
    if (words.size() > 3) return cli::wrongUse(invocation, "unexpected argument \"" + words[3] + "\"");
    if (words.size() == 3 && words[0] != domain) return unknownDomain(words[0]);
    if (words.size() == 3) words.erase(words.begin());
  } else if (words.size() >= 2 && words[0] == domain) {
    words.erase(words.begin());
  } else if (words.size() >= 2 && looksLikeDomain(words[0])) {
    return unknownDomain(words[0]);
  }
  const std::string key = words[0];
  std::vector<std::string> values(words.begin() + 1, words.end());
  if ((type == "-dict" || type == "-dict-add") && values.size() % 2 != 0)
    return cli::wrongUse(invocation, type + " takes pairs of KEY VALUE: \"" + values.back() + "\" has no value");

  Retained<NSObject> value;
  if (!collection) {
    value = parseValue(type.empty() ? "-string" : type, values[0]);
    if (!value) return cli::wrongUse(invocation, "bad " + type.substr(1) + " value \"" + values[0] + "\": " + typeExpects(type));
  }
  if (int status = requireDevice()) return status;
  device::PreferencesChange change;
  auto preferences = NSMutableDictionary::dictionaryWithContentsOfFile(NSString::stringWithUTF8String(preferencesPath).get());
  if (!preferences) preferences = NSMutableDictionary::dictionary();
  objc_object* old = preferences->objectForKey(key);
  if (type == "-array" || type == "-array-add") {
    auto array = NSMutableArray::array();
    if (type == "-array-add" && old) {
      auto* existing = objc_cast<NSArray>(old);
      if (!existing) return fail("the value of " + key + " is " + withArticle(typeName(old)) + ", not an array: nothing added");
      for (const auto& item : *existing) array->addObject(item.get());
    }
    for (const auto& word : values) array->addObject(NSString::stringWithUTF8String(word).get());
    value = array;
  } else if (type == "-dict" || type == "-dict-add") {
    auto dictionary = NSMutableDictionary::dictionary();
    if (type == "-dict-add" && old) {
      auto* existing = objc_cast<NSDictionary>(old);
      if (!existing) return fail("the value of " + key + " is " + withArticle(typeName(old)) + ", not a dictionary: nothing added");
      dictionary->addEntriesFromDictionary(existing);
    }
    for (std::size_t at = 0; at < values.size(); at += 2)
      dictionary->setObject_forKey(NSString::stringWithUTF8String(values[at + 1]).get(), values[at]);
    value = dictionary;
  }
  preferences->setObject_forKey(value.get(), key);
  int status = store(change, preferences.get());
  if (status == 0) warnAbout(key, value.get());
  return status;
}

int defaultsReadType(const Invocation& invocation) {
  const std::vector<std::string>& words = invocation.arguments;
  if (words.size() == 2 && words[0] != domain) return unknownDomain(words[0]);
  if (words.size() == 1 && words[0] == domain)
    return cli::wrongUse(invocation, std::string("say which key: defaults read-type ") + domain + " KEY");
  if (int status = requireDevice()) return status;
  auto read = readDomain();
  if (!read) return fail(read.error().message());
  const std::string& key = words.back();
  objc_object* value = *read ? (*read)->objectForKey(key) : nullptr;
  if (!value && words.size() == 1 && looksLikeDomain(key)) return unknownDomain(key);
  if (!value) return fail(std::string("the domain/default pair of (") + domain + ", " + key + ") does not exist");
  std::printf("Type is %s\n", typeName(value).c_str());
  return 0;
}

int defaultsExport(const Invocation& invocation) {
  const std::string& name = invocation.arguments[0];
  const std::string& path = invocation.arguments[1];
  if (name != domain) return unknownDomain(name);
  if (int status = requireDevice()) return status;
  auto read = readDomain();
  if (!read) return fail(read.error().message());
  if (!*read) return fail(std::string("the domain ") + domain + " does not exist");
  auto xml = NSPropertyListSerialization::xmlDataWithPropertyList(read->get());
  if (!xml) return fail(std::string("the domain ") + domain + " holds a value a property list cannot");
  if (path == "-") {
    std::fwrite(xml->data(), 1, xml->size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : fail("cannot write to standard output");
  }
  if (auto written = files::writeAtomically(path, *xml, files::Durability::Flushed); !written)
    return fail(written.error().message());
  return 0;
}

int defaultsImport(const Invocation& invocation) {
  const std::string& name = invocation.arguments[0];
  const std::string& path = invocation.arguments[1];
  if (name != domain) return unknownDomain(name);
  if (int status = requireDevice()) return status;
  std::size_t limit = foundation::preferencesFileMaximumBytes;
  auto bytes = path == "-" ? readAll(STDIN_FILENO, "standard input", limit) : readHostFile(path, limit);
  if (!bytes) return fail(bytes.error().message());
  std::string reason;
  foundation::PropertyListLimits limits;
  limits.maxBytes = limit;
  Retained<NSObject> list = NSPropertyListSerialization::propertyListWithData(*bytes, limits, &reason);
  std::string shown = path == "-" ? "standard input" : path;
  if (!list) return fail(shown + " is not a property list" + (reason.empty() ? "" : ": " + reason));
  auto* imported = objc_cast<NSDictionary>(list.get());
  if (!imported) return fail(shown + ": a domain is a dictionary, and this property list's root is " + withArticle(typeName(list.get())));
  device::PreferencesChange change;
  auto preferences = NSMutableDictionary::dictionary();
  preferences->addEntriesFromDictionary(imported);
  int status = store(change, preferences.get());
  if (status == 0)
    for (const auto& [key, value] : imported->entries()) warnAbout(key, value.get());
  return status;
}

int defaultsDomains(const Invocation&) {
  if (int status = requireDevice()) return status;
  std::printf("%s\n", domain);
  return 0;
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
