// springboard --detach, stop and respring: SpringBoard as a background process of the device.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "sim/common/RunningSpringBoard.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {
namespace {

/// Stops the running SpringBoard, if any: 0, or 1 said on standard error.
int stopRunning(springboard::Stopped& stopped) {
  auto result = springboard::stop();
  if (!result) return fail(result.error().message());
  stopped = *result;
  if (stopped.killed)
    std::fprintf(stderr, "orvane-sim: SpringBoard (pid %d) did not stop when asked; killed it\n", stopped.pid);
  return 0;
}

}  // namespace

int startDetached(const std::vector<std::string>& options) {
  if (int status = requireDevice()) return status;
  auto running = springboard::runningPid();
  if (!running) return fail(running.error().message());
  if (*running)
    return fail("SpringBoard is already running on " + device::root() + " (pid " + std::to_string(**running) + ")");
  auto started = springboard::startDetached(options);
  if (!started) return fail(started.error().message());
  std::printf("SpringBoard is running on %s (pid %d)\n", device::root().c_str(), *started);
  return 0;
}

int stop(const Invocation&) {
  if (int status = requireDevice()) return status;
  springboard::Stopped stopped;
  if (int status = stopRunning(stopped)) return status;
  if (stopped.pid < 0) return fail("SpringBoard is not running on " + device::root());
  std::printf("SpringBoard stopped (pid %d)\n", stopped.pid);
  return 0;
}

int respring(const Invocation& invocation) {
  std::vector<std::string> options;
  if (invocation.has("--audio")) options = {"--audio", invocation.option("--audio")};
  if (int status = requireDevice()) return status;
  auto running = springboard::runningPid();
  if (!running) return fail(running.error().message());
  // As it ran before, unless told otherwise.
  std::vector<std::string> startWith = options.empty() && *running ? springboard::options(**running) : options;
  springboard::Stopped stopped;
  if (*running)
    if (int status = stopRunning(stopped)) return status;
  auto started = springboard::startDetached(startWith);
  if (!started) return fail(started.error().message());
  if (stopped.pid >= 0) std::printf("SpringBoard restarted on %s (pid %d)\n", device::root().c_str(), *started);
  else std::printf("SpringBoard was not running; started it on %s (pid %d)\n", device::root().c_str(), *started);
  return 0;
}

}  // namespace commands
