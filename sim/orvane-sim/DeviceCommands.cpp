#include <algorithm>
#include <cstdio>
#include <string>
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

void warn(const std::string& message) {
  bool colour = cli::colourFor(stderr);
  std::fprintf(stderr, "%sorvane-sim: warning:%s %s\n", colour ? "\033[1;33m" : "", colour ? "\033[0m" : "", message.c_str());
}

std::string hint(const std::string& words) { return device::simulatorCommand(words); }

int requireDevice() {
  std::string root = device::root();
  if (device::isDevice(root)) return 0;
  return fail("no device at " + root + " (create it with: " + hint("init") + ")");
}

std::optional<std::string> systemVersion() {
  auto system = NSDictionary::dictionaryWithContentsOfFile(NSSTR("/System/Library/CoreServices/SystemVersion.plist"));
  auto* version = system ? objc_cast<NSString>(system->objectForKey("ProductVersion")) : nullptr;
  if (!version) return std::nullopt;
  return version->utf8();
}

namespace {

/// The options of init that a device keeps as it was made, and how each is changed instead.
void sayWhatStays(const Invocation& invocation) {
  struct Kept {
    const char* option;
    const char* setting;
    std::string change;
  };
  auto account = [](const std::string& value) { return value == "none" ? std::string() : value; };
  std::vector<Kept> kept = {
      {"--idiom", "Idiom", "set idiom " + invocation.option("--idiom")},
      {"--model", "Model", "set model " + device::shellWord(invocation.option("--model"))},
      {"--language", "Language", "language " + device::shellWord(invocation.option("--language"))},
      {"--mail-account", "MailAccount", "mail-account " + device::shellWord(invocation.option("--mail-account"))},
      {"--twitter-account", "TwitterAccount", "twitter-account " + device::shellWord(invocation.option("--twitter-account"))}};
  for (const auto& [option, setting, change] : kept) {
    if (!invocation.has(option)) continue;
    std::string given = invocation.option(option);
    std::string now = device::setting(setting).value_or("");
    bool accountOption = std::string(option).ends_with("-account");
    if ((accountOption ? account(given) : given) == now) continue;
    warn(std::string(option) + " " + given + " was not applied: the device exists and keeps " +
         (now.empty() ? "none" : now) + " (change it with: " + hint(change) + ")");
  }
  if (invocation.has("--ios")) {
    std::string version = systemVersion().value_or("?");
    if (invocation.option("--ios") != version)
      warn("--ios " + invocation.option("--ios") + " was not applied: the device has iOS " + version +
           ", which cannot change (make another device for it: orvane-sim --device DIR init --ios " +
           invocation.option("--ios") + ")");
  }
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
  if (!existed && !options.model.empty())
    if (auto fits = device::checkModel(options.model, options.idiom, options.systemVersion); !fits)
      return cli::wrongUse(invocation, "bad value \"" + options.model + "\" for --model: " + fits.error().message(),
                           modelIdentifiers());
  if (existed) sayWhatStays(invocation);
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
  const std::string& idiom = invocation.arguments[0];
  if (int status = requireDevice()) return status;
  std::string version = systemVersion().value_or("8.1");
  // The model follows: a pad is no iPhone.
  std::string model = device::setting("Model").value_or("");
  if (!device::checkModel(model, idiom, version)) {
    model = device::defaultModel(idiom, version);
    if (auto written = device::setSetting("Model", model); !written)
      return fail("cannot write the device settings: " + written.error().message());
    return setSetting("Idiom", idiom, "Idiom", idiom + " (model " + model + ")");
  }
  return setSetting("Idiom", idiom, "Idiom", idiom);
}

int setModel(const Invocation& invocation) {
  const std::string& model = invocation.arguments[0];
  if (int status = requireDevice()) return status;
  std::string idiom = device::setting("Idiom").value_or("phone");
  if (auto fits = device::checkModel(model, idiom, systemVersion().value_or("8.1")); !fits) {
    std::string why = fits.error().message();
    if (why.find(", and the device is a ") != std::string::npos)
      why += " (make it one first: " + hint(std::string("set idiom ") + (idiom == "pad" ? "phone" : "pad")) + ")";
    return cli::wrongUse(invocation, "bad model \"" + model + "\": " + why, modelIdentifiers());
  }
  return setSetting("Model", model, "Model", model);
}

std::vector<std::string> modelIdentifiers() {
  std::vector<std::string> identifiers;
  for (const auto& model : device::models()) identifiers.push_back(model.identifier);
  return identifiers;
}

int language(const Invocation& invocation) {
  return setSetting("Language", invocation.arguments[0], "Language", invocation.arguments[0]);
}

}  // namespace commands
