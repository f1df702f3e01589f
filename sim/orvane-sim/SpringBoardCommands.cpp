#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "platform/device/Device.h"
#include "sim/common/Package.h"
#include "sim/common/PressChannel.h"
#include "sim/common/RunningSpringBoard.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {

using Arguments = std::vector<std::string>;

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

int springboard(const Invocation& invocation) {
  Arguments words;
  if (invocation.has("--audio")) words = {"--audio", invocation.option("--audio")};
  if (invocation.has("--detach")) return startDetached(words);
  return runHost("SpringBoard", words);
}

int settings(const Invocation& invocation) {
  // The Settings host takes the checked words in one form: VERB [--json] [--mail=ANSWER] [--share=ANSWER]
  // [--output=FILE] [--scale=N] [--at=SECONDS] [--seed=N] [--share] [--full-page] -- WORDS.
  Arguments words = {invocation.command().name};
  if (invocation.has("--json")) words.push_back("--json");
  for (const char* option : {"--mail", "--share", "--output", "--scale", "--at", "--seed", "--full-page"})
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
  auto running = springboard::runningPid();
  // 0 while none runs.
  pid_t pid = running && *running ? **running : 0;
  auto presser = pressing::Presser::connect();
  std::optional<int> volume;
  if (presser)
    if (auto steps = presser->volume()) volume = *steps;
  std::string ringer = device::setting("Ringer").value_or("ring");
  std::string model = device::setting("Model").value_or("?");
  std::string idiom = device::setting("Idiom").value_or("phone");
  std::string language = device::setting("Language").value_or("en");
  std::string version = systemVersion().value_or("?");
  if (invocation.has("--json")) {
    nlohmann::json state = {{"device", device::root()},
                            {"orvaneInstalled", package::isInstalled(device::root(), "com.quillmark.orvane")},
                            {"springboardRunning", presser.has_value()},
                            {"springboardPid", pid ? nlohmann::json(pid) : nlohmann::json()},
                            {"volume", volume ? nlohmann::json(*volume) : nlohmann::json()},
                            {"ringer", ringer},
                            {"model", model},
                            {"idiom", idiom},
                            {"iosVersion", version},
                            {"language", language}};
    std::printf("%s\n", state.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return presser ? 0 : 1;
  }
  if (presser)
    std::printf("SpringBoard is running on %s%s\n", device::root().c_str(),
                pid ? (" (pid " + std::to_string(pid) + ")").c_str() : "");
  else
    std::printf("SpringBoard is not running on %s (start it with: %s)\n", device::root().c_str(),
                hint("springboard --detach").c_str());
  if (volume) std::printf("Volume: %d/16\n", *volume);
  std::printf("Ring/silent switch: %s\n", ringer.c_str());
  std::printf("Model: %s (%s), iOS %s\n", model.c_str(), idiom.c_str(), version.c_str());
  std::printf("Language: %s\n", language.c_str());
  return presser ? 0 : 1;
}

}  // namespace commands
