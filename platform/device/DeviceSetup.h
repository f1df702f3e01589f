#pragma once

#include <string>

#include "platform/result/Result.h"

namespace device {

struct DeviceOptions {
  /// The model identifier MobileGestalt answers for "ProductType".
  std::string model = "iPhone7,2";
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

/// The build of a system version ("8.1" gives "12B411"), or "" if unknown.
std::string buildForSystemVersion(const std::string& version);
/// The CoreFoundation version number of a system version.
double coreFoundationVersionForSystemVersion(const std::string& version);

}  // namespace device
