#include "platform/device/DeviceSetup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fmt/format.h>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"

namespace device {
namespace {

struct SystemRelease {
  const char* version;
  const char* build;
  double coreFoundation;
};

// The CoreFoundation versions that shipped with each release.
constexpr SystemRelease releases[] = {
    {"7.0", "11A465", 847.20},  {"7.1", "11D167", 847.26},  {"8.0", "12A365", 1140.10},
    {"8.1", "12B411", 1141.14}, {"8.2", "12D508", 1142.16}, {"8.3", "12F70", 1144.17},
    {"8.4", "12H143", 1145.15}, {"9.0", "13A344", 1240.10}, {"9.3", "13E233", 1242.13},
    {"10.0", "14A403", 1348.00}, {"10.3", "14E277", 1349.56}, {"11.0", "15A372", 1443.00},
    {"12.0", "16A366", 1556.00},
};

const SystemRelease* findRelease(const std::string& version) {
  for (auto& release : releases)
    if (version == release.version) return &release;
  // "8.1.2" falls back to "8.1".
  auto dot = version.rfind('.');
  if (dot != std::string::npos && std::count(version.begin(), version.end(), '.') > 1)
    return findRelease(version.substr(0, dot));
  return nullptr;
}

orvane::Result<void> link(const std::string& root, const char* name, const char* target) {
  std::string path = root + "/" + name;
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0) return orvane::success();
  if (symlink(target, path.c_str()) != 0)
    return orvane::Error(fmt::format("cannot make the link {}: {}", path, std::strerror(errno)), errno);
  return orvane::success();
}

orvane::Result<void> writeIfMissing(const std::string& path, const std::string& contents) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) return orvane::success();
  return files::writeAtomically(path, contents, files::Durability::Flushed);
}

std::string xmlDictionary(std::initializer_list<std::pair<std::string, std::string>> entries) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n";
  for (auto& [key, value] : entries) xml += fmt::format("\t<key>{}</key>\n\t<string>{}</string>\n", key, value);
  return xml + "</dict>\n</plist>\n";
}

}  // namespace

std::string buildForSystemVersion(const std::string& version) {
  const SystemRelease* release = findRelease(version);
  return release ? release->build : "";
}

double coreFoundationVersionForSystemVersion(const std::string& version) {
  const SystemRelease* release = findRelease(version);
  return release ? release->coreFoundation : 1141.14;
}

orvane::Result<void> createDevice(const std::string& root, const DeviceOptions& options) {
  for (const char* directory :
       {"", "/private/var/mobile/Library/Preferences", "/private/var/mobile/Library/Logs", "/private/var/tmp",
        "/private/var/run", "/private/var/lib/dpkg", "/private/var/log", "/Library/MobileSubstrate/DynamicLibraries",
        "/Library/Application Support", "/Library/PreferenceBundles", "/Library/PreferenceLoader/Preferences",
        "/System/Library/CoreServices", "/usr/bin", "/.orvane-sim"})
    if (auto made = files::makeDirectories(root + directory); !made) return made;
  for (auto [name, target] : {std::pair{"var", "private/var"}, {"User", "var/mobile"}, {"tmp", "private/var/tmp"}})
    if (auto linked = link(root, name, target); !linked) return linked;

  for (const char* file : {"/private/var/lib/dpkg/status", "/private/var/lib/dpkg/available"})
    if (auto written = writeIfMissing(root + file, ""); !written) return written;

  std::string build = buildForSystemVersion(options.systemVersion);
  if (auto written = writeIfMissing(root + "/System/Library/CoreServices/SystemVersion.plist",
                                    xmlDictionary({{"ProductBuildVersion", build.empty() ? "12B411" : build},
                                                   {"ProductName", "iPhone OS"},
                                                   {"ProductVersion", options.systemVersion}}));
      !written)
    return written;
  std::string coreFoundation = fmt::format("{:.2f}", coreFoundationVersionForSystemVersion(options.systemVersion));
  return writeIfMissing(settingsFile(root), xmlDictionary({{"CoreFoundationVersion", coreFoundation},
                                                          {"Idiom", options.idiom},
                                                          {"Language", options.language},
                                                          {"MailAccount", options.mailAccount},
                                                          {"Model", options.model},
                                                          {"Ringer", "ring"},
                                                          {"TwitterAccount", options.twitterAccount}}));
}

}  // namespace device
