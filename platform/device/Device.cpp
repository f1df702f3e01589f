#include "platform/device/Device.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/device/FileUtilities.h"
#include "platform/device/PathWatch.h"
#include "platform/propertylist/PropertyListFormat.h"

namespace device {
namespace {

std::mutex& stateMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& explicitRoot() {
  static std::string root;
  return root;
}

std::string& processNameStorage() {
  static std::string name;
  return name;
}

struct SettingsCache {
  std::string file;
  struct timespec modified {};
  ino_t inode = 0;
  off_t size = -1;
  std::map<std::string, std::string> values;
  // Taken before the file was last looked at.
  files::WatchStamp stamp;
};

SettingsCache& settingsCache() {
  static SettingsCache cache;
  return cache;
}

constexpr const char* settingsDevicePath = "/.orvane-sim/Device.plist";
constexpr std::size_t settingsMaximumBytes = std::size_t{1} << 20;

std::map<std::string, std::string> readSettings(const std::string& root) {
  std::map<std::string, std::string> values;
  auto bytes = files::readFileInRoot(root, settingsDevicePath, settingsMaximumBytes);
  if (!bytes) return values;
  foundation::PropertyListLimits limits;
  limits.maxBytes = settingsMaximumBytes;
  auto parsed = foundation::parsePropertyList(*bytes, limits);
  if (!parsed.value || parsed.value->type != foundation::PropertyListValue::Type::Dictionary) return values;
  for (std::size_t i = 0; i < parsed.value->items.size(); ++i)
    if (parsed.value->item(i).type == foundation::PropertyListValue::Type::String)
      values[parsed.value->keys[i]] = parsed.value->item(i).text;
  return values;
}

}  // namespace

std::string defaultRoot() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/orvane/device";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/share/orvane/device";
  return "/tmp/orvane-device-" + std::to_string(getuid());
}

std::string shellWord(std::string_view word) {
  bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_-+./,:=@%", c);
  });
  if (plain) return std::string(word);
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string simulatorCommand(std::string_view words) {
  std::string device = root();
  std::error_code error, otherError;
  auto resolved = std::filesystem::weakly_canonical(device, error);
  auto usualResolved = std::filesystem::weakly_canonical(defaultRoot(), otherError);
  bool usual = device == defaultRoot() || (!error && !otherError && resolved == usualResolved);
  return "orvane-sim " + (usual ? std::string() : "--device " + shellWord(device) + " ") + std::string(words);
}

std::string root() {
  std::lock_guard lock(stateMutex());
  if (!explicitRoot().empty()) return explicitRoot();
  if (const char* env = std::getenv("ORVANE_DEVICE"); env && *env) return env;
  return defaultRoot();
}

void setRoot(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::lock_guard lock(stateMutex());
  explicitRoot() = std::move(root);
}

std::string hostPath(std::string_view devicePath) {
  // Fold the path lexically so that ".." stops at the device's root.
  std::string folded;
  std::size_t position = 0;
  while (position <= devicePath.size()) {
    std::size_t slash = devicePath.find('/', position);
    if (slash == std::string_view::npos) slash = devicePath.size();
    std::string_view part = devicePath.substr(position, slash - position);
    position = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      auto last = folded.rfind('/');
      folded.erase(last == std::string::npos ? 0 : last);
      continue;
    }
    folded += '/';
    folded += part;
  }
  if (!devicePath.empty() && devicePath.back() == '/' && !folded.empty()) folded += '/';
  return root() + (folded.empty() ? "/" : folded);
}

std::string identity() {
  struct stat info {};
  std::string base = root();
  if (stat(base.c_str(), &info) != 0) {
    std::hash<std::string> hash;
    return "p" + std::to_string(hash(base));
  }
  std::ostringstream out;
  out << std::hex << static_cast<unsigned long long>(info.st_dev) << '-' << static_cast<unsigned long long>(info.st_ino);
  return out.str();
}

std::string preferencesFile(std::string_view domain) {
  return std::string(preferencesDirectory) + "/" + std::string(domain) + ".plist";
}

std::string settingsFile(const std::string& root) { return root + "/.orvane-sim/Device.plist"; }

bool isDevice(const std::string& root) {
  struct stat info {};
  return stat(settingsFile(root).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string processName() {
  std::lock_guard lock(stateMutex());
  if (!processNameStorage().empty()) return processNameStorage();
  return program_invocation_short_name;
}

void setProcessName(std::string name) {
  std::lock_guard lock(stateMutex());
  processNameStorage() = std::move(name);
}

std::optional<std::string> setting(std::string_view key) {
  std::string base = root();
  std::string file = settingsFile(base);
  auto lookUp = [&](const SettingsCache& cache) -> std::optional<std::string> {
    auto found = cache.values.find(std::string(key));
    if (found == cache.values.end()) return std::nullopt;
    return found->second;
  };
  {
    // A press asks for the ringer: most of the time nothing has changed, and no path is looked up.
    std::lock_guard lock(stateMutex());
    SettingsCache& cache = settingsCache();
    if (cache.file == file && files::unchangedSince(cache.stamp)) return lookUp(cache);
  }
  files::WatchStamp stamp = files::watchFile(base, file);
  struct stat info {};
  bool exists = stat(file.c_str(), &info) == 0;
  std::lock_guard lock(stateMutex());
  SettingsCache& cache = settingsCache();
  if (!exists) {
    cache = SettingsCache{};
    return std::nullopt;
  }
  if (cache.file != file || cache.inode != info.st_ino || cache.size != info.st_size ||
      cache.modified.tv_sec != info.st_mtim.tv_sec || cache.modified.tv_nsec != info.st_mtim.tv_nsec) {
    cache.file = file;
    cache.inode = info.st_ino;
    cache.size = info.st_size;
    cache.modified = info.st_mtim;
    cache.values = readSettings(base);
  }
  cache.stamp = std::move(stamp);
  return lookUp(cache);
}

bool settingBool(std::string_view key, bool fallback) {
  auto value = setting(key);
  if (!value) return fallback;
  return *value == "1" || *value == "true" || *value == "yes" || *value == "YES";
}

double settingDouble(std::string_view key, double fallback) {
  auto value = setting(key);
  if (!value) return fallback;
  char* end = nullptr;
  double number = std::strtod(value->c_str(), &end);
  return end && *end == '\0' && end != value->c_str() ? number : fallback;
}

orvane::Result<void> setSetting(std::string_view key, std::string_view value) {
  std::string base = root();
  auto values = readSettings(base);
  values[std::string(key)] = std::string(value);
  foundation::PropertyListValue settings;
  for (auto& [name, text] : values) {
    foundation::PropertyListValue item;
    item.type = foundation::PropertyListValue::Type::String;
    item.text = text;
    settings.append(name, std::move(item));
  }
  auto contents = foundation::writeXmlPropertyList(settings);
  if (!contents) return orvane::Error("the device settings cannot be written as a property list");
  return files::writeAtomically(settingsFile(base), *contents, files::Durability::Flushed);
}

}  // namespace device
