#include <cstdio>

#include "platform/device/Device.h"
#include "platform/device/DeviceSetup.h"
#include "sim/common/Package.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {

int fail(const std::string& message) {
  std::fprintf(stderr, "orvane-sim: %s\n", message.c_str());
  return 1;
}

int requireDevice() {
  std::string root = device::root();
  if (device::isDevice(root)) return 0;
  return fail("no device at " + root + " (create it with: orvane-sim --device " + root + " init)");
}

int init(const Arguments& arguments) {
  device::DeviceOptions options;
  for (std::size_t i = 0; i < arguments.size(); i += 2) {
    if (i + 1 >= arguments.size()) return usageError;
    const std::string& option = arguments[i];
    const std::string& value = arguments[i + 1];
    if (option == "--model") options.model = value;
    else if (option == "--idiom" && (value == "phone" || value == "pad")) options.idiom = value;
    else if (option == "--ios") options.systemVersion = value;
    else if (option == "--language") options.language = value;
    else if (option == "--mail-account") options.mailAccount = value == "none" ? "" : value;
    else if (option == "--twitter-account") options.twitterAccount = value == "none" ? "" : value;
    else return usageError;
  }
  std::string root = device::root();
  if (options.systemVersion.empty() || device::buildForSystemVersion(options.systemVersion).empty())
    return fail("unknown iOS version \"" + options.systemVersion + "\" (try 7.0 to 12.0, e.g. 8.1)");
  bool existed = device::isDevice(root);
  if (auto error = device::createDevice(root, options); !error.empty()) return fail(error);
  if (package::isInstalled(root, "com.quillmark.orvane")) {
    std::printf("Device %s is ready; Orvane is installed.\n", root.c_str());
    return 0;
  }
  if (auto error = package::install(root, package::builtPackage()); !error.empty()) return fail(error);
  std::printf("%s device %s and installed Orvane.\n", existed ? "Completed" : "Created", root.c_str());
  return 0;
}

int install(const Arguments& arguments) {
  if (!arguments.empty()) return usageError;
  if (int status = requireDevice()) return status;
  if (auto error = package::install(device::root(), package::builtPackage()); !error.empty()) return fail(error);
  std::printf("Installed Orvane into %s.\n", device::root().c_str());
  return 0;
}

int ringer(const Arguments& arguments) {
  if (arguments.size() != 1 || (arguments[0] != "silent" && arguments[0] != "ring")) return usageError;
  if (int status = requireDevice()) return status;
  if (!device::setSetting("Ringer", arguments[0])) return fail("cannot write the device settings");
  std::printf("Ring/silent switch: %s\n", arguments[0].c_str());
  return 0;
}

namespace {
int setAccount(const Arguments& arguments, const char* setting, const char* what) {
  if (arguments.size() != 1 || arguments[0].empty()) return usageError;
  if (int status = requireDevice()) return status;
  std::string account = arguments[0] == "none" ? "" : arguments[0];
  if (!device::setSetting(setting, account)) return fail("cannot write the device settings");
  std::printf("%s: %s\n", what, account.empty() ? "none" : account.c_str());
  return 0;
}
}  // namespace

int mailAccount(const Arguments& arguments) { return setAccount(arguments, "MailAccount", "Mail account"); }

int twitterAccount(const Arguments& arguments) { return setAccount(arguments, "TwitterAccount", "Twitter account"); }

int hardware(const Arguments& arguments) {
  if (arguments.size() != 2) return usageError;
  const std::string& what = arguments[0];
  const std::string& value = arguments[1];
  if (what == "idiom" && value != "phone" && value != "pad") return usageError;
  if ((what != "idiom" && what != "model") || value.empty()) return usageError;
  if (int status = requireDevice()) return status;
  if (!device::setSetting(what == "idiom" ? "Idiom" : "Model", value)) return fail("cannot write the device settings");
  std::printf("%s: %s\n", what == "idiom" ? "Idiom" : "Model", value.c_str());
  return 0;
}

int language(const Arguments& arguments) {
  if (arguments.size() != 1 || arguments[0].empty() || arguments[0].find('/') != std::string::npos) return usageError;
  if (int status = requireDevice()) return status;
  if (!device::setSetting("Language", arguments[0])) return fail("cannot write the device settings");
  std::printf("Language: %s\n", arguments[0].c_str());
  return 0;
}

}  // namespace commands
