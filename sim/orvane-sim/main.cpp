// orvane-sim: makes and drives simulated devices.

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/device/Device.h"
#include "sim/orvane-sim/Commands.h"

namespace {

constexpr const char* usageText = R"(usage: orvane-sim [--device DIR] COMMAND [ARGUMENTS]

The device is DIR, else $ORVANE_DEVICE, else the per-user default device.

Commands:
  init [--model ID] [--idiom phone|pad] [--ios VERSION] [--language CODE]
       [--mail-account ADDRESS|none] [--twitter-account NAME|none]
                        create the device and install Orvane into it
  install               install the built Orvane package again
  springboard [--audio system]
                        run SpringBoard in the foreground until interrupted
  press up|down [N]     press a volume button N times (default 1)
  status                whether SpringBoard is running (exit status 0) or not (1)
  log [--json]          the speaker log, one line per sound
  defaults read [KEY]
  defaults write KEY [-bool|-int|-float|-string] VALUE
  defaults delete KEY   Orvane's preferences, each change announced to SpringBoard
  notify post NAME      post a Darwin notification
  ringer silent|ring    set the ring/silent switch
  set idiom phone|pad   make the device a phone or a pad
  set model ID          change the device's model identifier (e.g. iPhone7,2)
  language CODE         set the device's preferred language (en, de, de-AT, ...)
  mail-account ADDRESS|none
                        set up (or remove) the device's mail account
  twitter-account NAME|none
                        set up (or remove) the device's Twitter account
  settings show [--json] [PATH]
  settings inspect [--json] [PATH]
  settings set PATH VALUE
  settings tap PATH [--mail send|save|cancel]
                        open Settings at Orvane, follow PATH (row labels joined
                        with "/"), and show, inspect, change or tap that page or row
  settings share [PATH] [--share post|cancel]
                        tap the share button of that page
)";

int usage() {
  std::fputs(usageText, stderr);
  return commands::usageError;
}

}  // namespace

int main(int argc, char** argv) {
  int next = 1;
  if (next < argc && std::string(argv[next]) == "--device") {
    if (next + 1 >= argc) return usage();
    device::setRoot(argv[next + 1]);
    next += 2;
  }
  if (next >= argc) return usage();
  std::string command = argv[next++];
  if (command == "--help" || command == "help" || command == "-h") {
    std::fputs(usageText, stdout);
    return 0;
  }
  // Hosts started from here belong to the same device.
  setenv("ORVANE_DEVICE", device::root().c_str(), 1);
  commands::Arguments arguments(argv + next, argv + argc);

  static const std::map<std::string, int (*)(const commands::Arguments&)> table = {
      {"init", commands::init},       {"install", commands::install}, {"ringer", commands::ringer},
      {"springboard", commands::springboard}, {"press", commands::press}, {"log", commands::log}, {"status", commands::status},
      {"defaults", commands::defaults}, {"notify", commands::notify}, {"settings", commands::settings},
      {"language", commands::language}, {"mail-account", commands::mailAccount},
      {"twitter-account", commands::twitterAccount}, {"set", commands::hardware},
  };
  auto found = table.find(command);
  if (found == table.end()) return usage();
  int status = found->second(arguments);
  return status == commands::usageError ? usage() : status;
}
