// Preferences: the Settings app of the simulated device. It opens Orvane's
// entry and shows, changes or inspects one of its pages.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/objc/runtime.h"
#include "sim/settings/SettingsApp.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: orvane-sim settings show [--json] [PATH]\n"
               "       orvane-sim settings inspect [--json] [PATH]\n"
               "       orvane-sim settings set PATH VALUE\n"
               "       orvane-sim settings tap PATH\n");
  return 2;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "Settings: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty()) return usage();
  std::string verb = arguments[0];
  arguments.erase(arguments.begin());
  bool json = false;
  if (!arguments.empty() && arguments[0] == "--json" && (verb == "show" || verb == "inspect")) {
    json = true;
    arguments.erase(arguments.begin());
  }
  bool viewing = verb == "show" || verb == "inspect";
  if ((viewing && arguments.size() > 1) || (verb == "set" && arguments.size() != 2) ||
      (verb == "tap" && arguments.size() != 1) || (!viewing && verb != "set" && verb != "tap"))
    return usage();

  device::setProcessName("Preferences");
  AutoreleasePool pool;
  SettingsApp settings("Orvane");
  if (!settings.ok()) return fail(settings.error());
  auto path = splitPath(arguments.empty() ? "" : arguments[0]);
  bool done = verb == "set" ? settings.set(path, arguments[1]) : verb == "tap" ? settings.tap(path) : settings.follow(path);
  if (!done) return fail(settings.error());
  if (verb == "inspect") {
    auto tree = settings.inspect();
    std::fputs(json ? (tree.dump(2) + "\n").c_str() : SettingsApp::inspectText(tree).c_str(), stdout);
  } else {
    auto page = settings.show();
    std::fputs(json ? (page.dump(2) + "\n").c_str() : SettingsApp::showText(page).c_str(), stdout);
  }
  return 0;
}
