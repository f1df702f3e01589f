#pragma once

#include <string>
#include <vector>

#include "platform/result/Result.h"

namespace device {

struct DeviceOptions {
  /// The model identifier MobileGestalt answers for "ProductType"; empty for
  /// the usual one of the idiom and system version (defaultModel).
  std::string model;
  /// "phone" or "pad".
  std::string idiom = "phone";
  std::string systemVersion = "8.1";
  std::string language = "en";
  /// The address of the device's mail account; empty for none.
  std::string mailAccount = "mobile@example.com";
  /// The device's Twitter account; empty for none.
  std::string twitterAccount = "@orvane_listener";
};

/// Makes the directory tree of a new device at `root`: the iOS links
/// ("/var" to "/private/var", "/User" to "/var/mobile", "/tmp" to
/// "/private/var/tmp"), the mobile user's directories, SystemVersion.plist and
/// the device settings. What exists already is left as it is.
orvane::Result<void> createDevice(const std::string& root, const DeviceOptions& options);

/// A model of iPhone, iPod touch or iPad, and the system versions it runs.
struct Model {
  const char* identifier;  // "iPhone7,2"
  const char* name;        // "iPhone 6"
  const char* idiom;       // "phone" or "pad"
  const char* firstSystem;
  const char* lastSystem;  // the last of the versions a device may have here (7.0 to 12.0)
};
const std::vector<Model>& models();
/// The model a device of this idiom and system version is unless told otherwise.
std::string defaultModel(const std::string& idiom, const std::string& systemVersion);
/// Whether a device of this idiom and system version can be that model; the error says why not.
orvane::Result<void> checkModel(const std::string& identifier, const std::string& idiom, const std::string& systemVersion);

/// The languages the system offers ("en", "de", "zh-Hans", ...).
const std::vector<std::string>& languages();
/// Whether the system offers the language, with a region ("de-AT") or not; the error says why not.
orvane::Result<void> checkLanguage(const std::string& code);

/// The build of a system version ("8.1" gives "12B411"), or "" if unknown.
std::string buildForSystemVersion(const std::string& version);
/// The CoreFoundation version number of a system version.
double coreFoundationVersionForSystemVersion(const std::string& version);

}  // namespace device
