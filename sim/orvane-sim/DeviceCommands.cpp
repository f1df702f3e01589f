#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/DeviceSetup.h"
#include "platform/foundation/Foundation.h"
#include "sim/common/Package.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {

int fail(const std::string& message) {
  bool colour = cli::colourFor(stderr);
  std::fprintf(stderr, "%sorvane-sim:%s %s\n", colour ? "\033[1;31m" : "", colour ? "\033[0m" : "", message.c_str());
  return 1;
}

int requireDevice() {
  std::string root = device::root();
  if (device::isDevice(root)) return 0;
  return fail("no device at " + root + " (create it with: orvane-sim --device " + root + " init)");
}

namespace {
/// The iOS version of the device, as it was made.
std::optional<std::string> systemVersion() {
  auto system = NSDictionary::dictionaryWithContentsOfFile(NSSTR("/System/Library/CoreServices/SystemVersion.plist"));
  auto* version = system ? objc_cast<NSString>(system->objectForKey("ProductVersion")) : nullptr;
  if (!version) return std::nullopt;
  return version->utf8();
}
}  // namespace

int init(const Invocation& invocation) {
  device::DeviceOptions options;
  auto account = [](const std::string& value) { return value == "none" ? std::string() : value; };
  options.model = invocation.option("--model", options.model);
  options.idiom = invocation.option("--idiom", options.idiom);
  options.systemVersion = invocation.option("--ios", options.systemVersion);
  options.language = invocation.option("--language", options.language);
  if (invocation.has("--mail-account")) options.mailAccount = account(invocation.option("--mail-account"));
  if (invocation.has("--twitter-account")) options.twitterAccount = account(invocation.option("--twitter-account"));
  std::string root = device::root();
  bool existed = device::isDevice(root);
  if (auto created = device::createDevice(root, options); !created) return fail(created.error().message());
  // The base packages first: Orvane depends on them. A device made before they
  // existed gets them now.
  std::vector<std::string> files;
  std::string work = root + "/.orvane-sim/packages";
  std::error_code ignored;
  for (const std::string& name : package::baseNames()) {
    // A firmware made before it held the device's skeleton and tools is made again.
    auto owners = name == "firmware" ? package::owners(root, "/usr/bin/dpkg") : std::vector<std::string>{name};
    bool current = std::find(owners.begin(), owners.end(), name) != owners.end();
    if (package::isInstalled(root, name) && current) continue;
    if (name != "firmware") {
      files.push_back(package::basePackage(name));
      continue;
    }
    std::filesystem::create_directories(work, ignored);
    auto firmware = package::makeFirmware(systemVersion().value_or(options.systemVersion), work);
    if (!firmware) {
      std::filesystem::remove_all(work, ignored);
      return fail(firmware.error().message());
    }
    files.push_back(*firmware);
  }
  orvane::Result<void> installed;
  if (!files.empty()) installed = package::install(root, files);
  std::filesystem::remove_all(work, ignored);
  if (!installed) return fail(installed.error().message());
  bool orvane = package::isInstalled(root, package::kOrvane);
  if (!orvane) {
    if (auto done = package::install(root, {package::builtPackage()}); !done) return fail(done.error().message());
  }
  if (orvane && existed)
    std::printf("Device %s is ready; Orvane is installed.\n", root.c_str());
  else
    std::printf("%s device %s and installed Orvane.\n", existed ? "Completed" : "Created", root.c_str());
  return 0;
}

namespace {
/// Writes one of the device's settings and says its new value.
int setSetting(const char* setting, const std::string& value, const char* what, const std::string& shown) {
  if (int status = requireDevice()) return status;
  if (auto written = device::setSetting(setting, value); !written)
    return fail("cannot write the device settings: " + written.error().message());
  std::printf("%s: %s\n", what, shown.c_str());
  return 0;
}

int setAccount(const Invocation& invocation, const char* setting, const char* what) {
  std::string account = invocation.arguments[0] == "none" ? "" : invocation.arguments[0];
  return setSetting(setting, account, what, account.empty() ? "none" : account);
}
}  // namespace

int ringer(const Invocation& invocation) {
  return setSetting("Ringer", invocation.arguments[0], "Ring/silent switch", invocation.arguments[0]);
}

int mailAccount(const Invocation& invocation) { return setAccount(invocation, "MailAccount", "Mail account"); }

int twitterAccount(const Invocation& invocation) { return setAccount(invocation, "TwitterAccount", "Twitter account"); }

int setIdiom(const Invocation& invocation) {
  return setSetting("Idiom", invocation.arguments[0], "Idiom", invocation.arguments[0]);
}

int setModel(const Invocation& invocation) {
  return setSetting("Model", invocation.arguments[0], "Model", invocation.arguments[0]);
}

int language(const Invocation& invocation) {
  return setSetting("Language", invocation.arguments[0], "Language", invocation.arguments[0]);
}

}  // namespace commands
