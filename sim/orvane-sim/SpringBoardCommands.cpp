#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/device/Device.h"
#include "sim/common/Package.h"
#include "sim/common/PressChannel.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {

namespace {

/// Replaces this process with one of the device's hosts, built beside orvane-sim.
int runHost(const char* name, const Arguments& arguments) {
  if (int status = requireDevice()) return status;
  std::string executable = package::executableDirectory() + "/" + name;
  std::vector<char*> argv = {executable.data()};
  Arguments copy = arguments;
  for (auto& argument : copy) argv.push_back(argument.data());
  argv.push_back(nullptr);
  ::execv(executable.c_str(), argv.data());
  return fail("cannot start " + executable);
}

}  // namespace

int springboard(const Arguments& arguments) {
  if (!(arguments.empty() || (arguments.size() == 2 && arguments[0] == "--audio" && arguments[1] == "system")))
    return usageError;
  return runHost("SpringBoard", arguments);
}

int settings(const Arguments& arguments) {
  if (arguments.empty()) return usageError;
  return runHost("Preferences", arguments);
}

int press(const Arguments& arguments) {
  if (arguments.empty() || arguments.size() > 2 || (arguments[0] != "up" && arguments[0] != "down")) return usageError;
  long count = 1;
  if (arguments.size() == 2) {
    char* end = nullptr;
    count = std::strtol(arguments[1].c_str(), &end, 10);
    if (!end || *end || count < 1 || count > 100000) return usageError;
  }
  if (int status = requireDevice()) return status;
  pressing::Presser presser;
  if (!presser.connected()) return fail(presser.error());
  for (long i = 0; i < count; ++i) {
    auto steps = presser.press(arguments[0]);
    if (!steps) return fail(presser.error());
    std::printf("volume %s: %d/16\n", arguments[0].c_str(), *steps);
  }
  return 0;
}

int status(const Arguments& arguments) {
  if (!arguments.empty()) return usageError;
  if (int status = requireDevice()) return status;
  pressing::Presser presser;
  if (!presser.connected()) return fail(presser.error());
  std::printf("SpringBoard is running on %s\n", device::root().c_str());
  return 0;
}

int log(const Arguments& arguments) {
  bool json = arguments.size() == 1 && arguments[0] == "--json";
  if (!arguments.empty() && !json) return usageError;
  if (int status = requireDevice()) return status;
  std::ifstream in(device::hostPath("/var/mobile/Library/Logs/Speaker.jsonl"));
  std::string line;
  while (std::getline(in, line)) {
    if (json) {
      std::printf("%s\n", line.c_str());
      continue;
    }
    auto entry = nlohmann::json::parse(line, nullptr, false);
    if (entry.is_discarded() || !entry.is_object()) continue;
    std::printf("%s  %-12s %s\n", entry.value("time", "?").c_str(), entry.value("process", "?").c_str(),
                entry.value("file", "?").c_str());
  }
  return 0;
}

}  // namespace commands
