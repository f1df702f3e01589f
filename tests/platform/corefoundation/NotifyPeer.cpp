// A second process for the notify centre tests, driven by its arguments:
//   observe NAME...  writes each delivered name as a line
//   stall NAME       writes the name on the first delivery, then never returns from the callback
//   echo IN OUT      posts OUT on each delivery of IN
//   post NAME        posts once and exits
// Observers write "ready" once registered and exit when their standard input closes.
#include <unistd.h>

#include <string>

#include "platform/corefoundation/CoreFoundation.h"

namespace {

void writeLine(const std::string& text) {
  std::string line = text + "\n";
  [[maybe_unused]] ssize_t written = ::write(STDOUT_FILENO, line.data(), line.size());
}

void report(CFNotificationCenterRef, void*, CFStringRef name, const void*, CFDictionaryRef) {
  writeLine(name->utf8());
}

void stall(CFNotificationCenterRef, void*, CFStringRef name, const void*, CFDictionaryRef) {
  writeLine(name->utf8());
  for (;;) ::pause();
}

const char* echoName = nullptr;

void echo(CFNotificationCenterRef center, void*, CFStringRef, const void*, CFDictionaryRef) {
  CFNotificationCenterPostNotification(center, NSString::intern(echoName), nullptr, nullptr, true);
}

}  // namespace

// The thread sanitizer's pause at exit would slow every test that ends a peer.
extern "C" const char* __tsan_default_options() { return "atexit_sleep_ms=0"; }

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
  std::string mode = argv[1];
  if (mode == "post") {
    CFNotificationCenterPostNotification(center, NSString::intern(argv[2]), nullptr, nullptr, true);
    return 0;
  }
  if (mode == "observe") {
    for (int i = 2; i < argc; ++i)
      CFNotificationCenterAddObserver(center, nullptr, report, NSString::intern(argv[i]), nullptr,
                                      CFNotificationSuspensionBehaviorCoalesce);
  } else if (mode == "stall") {
    CFNotificationCenterAddObserver(center, nullptr, stall, NSString::intern(argv[2]), nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
  } else if (mode == "echo" && argc == 4) {
    echoName = argv[3];
    CFNotificationCenterAddObserver(center, nullptr, echo, NSString::intern(argv[2]), nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
  } else {
    return 2;
  }
  writeLine("ready");
  char byte;
  while (::read(STDIN_FILENO, &byte, 1) > 0) {
  }
  return 0;
}
