// The web view of a device, started by `orvane-sim serve`. It hosts the
// device's Settings app, so it runs as the process "Preferences".

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/device/Device.h"
#include "sim/serve/Server.h"

int main(int argc, char** argv) {
  serve::Options options;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    char* end = nullptr;
    long port = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : -1;
    if (argument == "--port" && end && !*end && port >= 0 && port <= 65535) {
      options.port = static_cast<int>(port);
      ++i;
    } else {
      std::fprintf(stderr, "usage: orvane-sim serve [--port N]   (N from 0, any free port, to 65535)\n");
      return 2;
    }
  }
  device::setProcessName("Preferences");
  return serve::run(options);
}
