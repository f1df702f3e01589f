#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/device/Device.h"
#include "sim/common/Package.h"
#include "sim/common/PressChannel.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {

namespace {

using Arguments = std::vector<std::string>;

/// Replaces this process with one of the device's hosts, built beside orvane-sim.
int runHost(const char* name, const Arguments& arguments) {
  if (int status = requireDevice()) return status;
  std::string executable = package::executableDirectory() + "/" + name;
  std::vector<char*> argv = {executable.data()};
  Arguments copy = arguments;
  for (auto& argument : copy) argv.push_back(argument.data());
  argv.push_back(nullptr);
  ::execv(executable.c_str(), argv.data());
  return fail("cannot start " + executable + ": " + std::strerror(errno));
}

}  // namespace

int springboard(const Invocation& invocation) {
  Arguments words;
  if (invocation.has("--audio")) words = {"--audio", invocation.option("--audio")};
  if (invocation.has("--detach")) return startDetached(words);
  return runHost("SpringBoard", words);
}

int settings(const Invocation& invocation) {
  // The Settings host takes the checked words in one form: VERB [--json] [--mail=ANSWER] [--share=ANSWER]
  // [--output=FILE] [--scale=N] [--at=SECONDS] [--share] [--full-page] -- WORDS.
  Arguments words = {invocation.command().name};
  if (invocation.has("--json")) words.push_back("--json");
  for (const char* option : {"--mail", "--share", "--output", "--scale", "--at", "--full-page"})
    if (invocation.has(option)) {
      std::string value = invocation.option(option);
      // A flag (screenshot's --share) goes over as its bare name.
      words.push_back(value.empty() && invocation.command().name == "screenshot" ? option : std::string(option) + "=" + value);
    }
  words.push_back("--");
  words.insert(words.end(), invocation.arguments.begin(), invocation.arguments.end());
  return runHost("Preferences", words);
}

int serve(const Invocation& invocation) {
  std::string port = invocation.option("--port", "0");
  char* end = nullptr;
  long number = std::strtol(port.c_str(), &end, 10);
  if (port.empty() || *end || number < 0 || number > 65535 || !std::isdigit(static_cast<unsigned char>(port[0])))
    return cli::wrongUse(invocation, "bad port \"" + port + "\": a whole number from 0 (any free port) to 65535");
  return runHost("orvane-serve", {"--port", std::to_string(number)});
}

int press(const Invocation& invocation) {
  const std::string& button = invocation.arguments[0];
  long count = invocation.arguments.size() == 2 ? std::strtol(invocation.arguments[1].c_str(), nullptr, 10) : 1;
  if (int status = requireDevice()) return status;
  auto presser = pressing::Presser::connect();
  if (!presser) return fail(presser.error().message());
  for (long i = 0; i < count; ++i) {
    auto steps = presser->press(button);
    if (!steps) return fail(steps.error().message());
    std::printf("volume %s: %d/16\n", button.c_str(), *steps);
  }
  return 0;
}

int status(const Invocation& invocation) {
  if (int status = requireDevice()) return status;
  auto presser = pressing::Presser::connect();
  if (invocation.has("--json")) {
    nlohmann::json state = {{"device", device::root()},
                            {"orvaneInstalled", package::isInstalled(device::root(), "com.quillmark.orvane")},
                            {"springboardRunning", presser.has_value()}};
    std::printf("%s\n", state.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return presser ? 0 : 1;
  }
  if (!presser) return fail(presser.error().message());
  std::printf("SpringBoard is running on %s\n", device::root().c_str());
  return 0;
}

}  // namespace commands
