#include "platform/device/DeviceSetup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

const std::vector<Model> knownModels = {
    {"iPhone4,1", "iPhone 4S", "phone", "5.0", "9.3"},
    {"iPhone5,1", "iPhone 5", "phone", "6.0", "10.3"},
    {"iPhone5,2", "iPhone 5", "phone", "6.0", "10.3"},
    {"iPhone5,3", "iPhone 5c", "phone", "7.0", "10.3"},
    {"iPhone5,4", "iPhone 5c", "phone", "7.0", "10.3"},
    {"iPhone6,1", "iPhone 5s", "phone", "7.0", "12.0"},
    {"iPhone6,2", "iPhone 5s", "phone", "7.0", "12.0"},
    {"iPhone7,1", "iPhone 6 Plus", "phone", "8.0", "12.0"},
    {"iPhone7,2", "iPhone 6", "phone", "8.0", "12.0"},
    {"iPhone8,1", "iPhone 6s", "phone", "9.0", "12.0"},
    {"iPhone8,2", "iPhone 6s Plus", "phone", "9.0", "12.0"},
    {"iPhone8,4", "iPhone SE", "phone", "9.3", "12.0"},
    {"iPhone9,1", "iPhone 7", "phone", "10.0", "12.0"},
    {"iPhone9,2", "iPhone 7 Plus", "phone", "10.0", "12.0"},
    {"iPhone9,3", "iPhone 7", "phone", "10.0", "12.0"},
    {"iPhone9,4", "iPhone 7 Plus", "phone", "10.0", "12.0"},
    {"iPhone10,1", "iPhone 8", "phone", "11.0", "12.0"},
    {"iPhone10,2", "iPhone 8 Plus", "phone", "11.0", "12.0"},
    {"iPhone10,3", "iPhone X", "phone", "11.0", "12.0"},
    {"iPhone10,4", "iPhone 8", "phone", "11.0", "12.0"},
    {"iPhone10,5", "iPhone 8 Plus", "phone", "11.0", "12.0"},
    {"iPhone10,6", "iPhone X", "phone", "11.0", "12.0"},
    {"iPhone11,2", "iPhone XS", "phone", "12.0", "12.0"},
    {"iPhone11,6", "iPhone XS Max", "phone", "12.0", "12.0"},
    {"iPhone11,8", "iPhone XR", "phone", "12.0", "12.0"},
    {"iPod5,1", "iPod touch (5th generation)", "phone", "6.0", "9.3"},
    {"iPod7,1", "iPod touch (6th generation)", "phone", "8.4", "12.0"},
    {"iPad2,1", "iPad 2", "pad", "4.3", "9.3"},
    {"iPad2,5", "iPad mini", "pad", "6.0", "9.3"},
    {"iPad3,1", "iPad (3rd generation)", "pad", "5.1", "9.3"},
    {"iPad3,4", "iPad (4th generation)", "pad", "6.0", "10.3"},
    {"iPad4,1", "iPad Air", "pad", "7.0", "12.0"},
    {"iPad4,2", "iPad Air", "pad", "7.0", "12.0"},
    {"iPad4,4", "iPad mini 2", "pad", "7.0", "12.0"},
    {"iPad4,5", "iPad mini 2", "pad", "7.0", "12.0"},
    {"iPad4,7", "iPad mini 3", "pad", "8.1", "12.0"},
    {"iPad5,1", "iPad mini 4", "pad", "9.0", "12.0"},
    {"iPad5,3", "iPad Air 2", "pad", "8.1", "12.0"},
    {"iPad5,4", "iPad Air 2", "pad", "8.1", "12.0"},
    {"iPad6,3", "iPad Pro (9.7-inch)", "pad", "9.3", "12.0"},
    {"iPad6,7", "iPad Pro (12.9-inch)", "pad", "9.1", "12.0"},
    {"iPad6,11", "iPad (5th generation)", "pad", "10.2", "12.0"},
    {"iPad7,1", "iPad Pro (12.9-inch, 2nd generation)", "pad", "10.3", "12.0"},
    {"iPad7,3", "iPad Pro (10.5-inch)", "pad", "10.3", "12.0"},
    {"iPad7,5", "iPad (6th generation)", "pad", "11.3", "12.0"},
};

// The languages of the system's language list from iOS 7 to 9.
const std::vector<std::string> knownLanguages = {
    "ar", "ca", "cs", "da", "de", "el", "en", "es", "fi", "fr", "he", "hi", "hr", "hu", "id", "it", "ja", "ko",
    "ms", "nb", "nl", "pl", "pt", "pt-PT", "ro", "ru", "sk", "sv", "th", "tr", "uk", "vi", "zh-Hans", "zh-Hant"};

/// 8.1 as {8, 1}; "8.1.2" as {8, 1}.
std::pair<int, int> versionNumbers(const std::string& version) {
  int major = 0, minor = 0;
  std::sscanf(version.c_str(), "%d.%d", &major, &minor);
  return {major, minor};
}

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

const std::vector<Model>& models() { return knownModels; }

std::string defaultModel(const std::string& idiom, const std::string& systemVersion) {
  if (idiom == "pad") return "iPad4,1";
  return versionNumbers(systemVersion) < std::pair{8, 0} ? "iPhone6,1" : "iPhone7,2";
}

orvane::Result<void> checkModel(const std::string& identifier, const std::string& idiom, const std::string& systemVersion) {
  auto model = std::find_if(knownModels.begin(), knownModels.end(),
                            [&](const Model& known) { return identifier == known.identifier; });
  if (model == knownModels.end()) return orvane::Error("no model has the identifier \"" + identifier + "\"");
  if (idiom != model->idiom)
    return orvane::Error(fmt::format("{} is the {}, a {}, and the device is a {}", identifier, model->name, model->idiom, idiom));
  auto version = versionNumbers(systemVersion);
  if (version < versionNumbers(model->firstSystem) || version > versionNumbers(model->lastSystem))
    return orvane::Error(fmt::format("the {} ({}) runs iOS {} to {}, and the device has iOS {}", model->name, identifier,
                                     model->firstSystem, model->lastSystem, systemVersion));
  return orvane::success();
}

const std::vector<std::string>& languages() { return knownLanguages; }

orvane::Result<void> checkLanguage(const std::string& code) {
  const std::string expected = "a language the system offers (en, de, fr, ja, zh-Hans, ...), with a region if wanted (de-AT)";
  std::string language = code;
  // A region: "-AT" or "-419".
  if (auto dash = code.rfind('-'); dash != std::string::npos && std::find(knownLanguages.begin(), knownLanguages.end(), code) == knownLanguages.end()) {
    std::string region = code.substr(dash + 1);
    bool letters = region.size() == 2 && std::all_of(region.begin(), region.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    bool digits = region.size() == 3 && std::all_of(region.begin(), region.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!letters && !digits) return orvane::Error(expected);
    language = code.substr(0, dash);
  }
  if (std::find(knownLanguages.begin(), knownLanguages.end(), language) == knownLanguages.end()) return orvane::Error(expected);
  return orvane::success();
}

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
                                                          {"Model", options.model.empty() ? defaultModel(options.idiom, options.systemVersion) : options.model},
                                                          {"Ringer", "ring"},
                                                          {"TwitterAccount", options.twitterAccount}}));
}

}  // namespace device
