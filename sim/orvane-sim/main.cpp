// orvane-sim: makes and drives simulated devices.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/device/Device.h"
#include "sim/orvane-sim/Commands.h"

int main(int argc, char** argv) {
  int status = 0;
  auto invocation = cli::parse(commands::table(), std::vector<std::string>(argv + 1, argv + argc), status);
  if (!invocation) return status;
  if (invocation->has("--version")) {
    std::printf("orvane-sim %s\n", ORVANE_VERSION);
    return 0;
  }
  if (invocation->has("--device")) device::setRoot(invocation->option("--device"));
  // Hosts started from here belong to the same device.
  setenv("ORVANE_DEVICE", device::root().c_str(), 1);
  return invocation->command().handler(*invocation);
}
