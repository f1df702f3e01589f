#include "bench/BenchSupport.h"

#include <dlfcn.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "contract/Orvane.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/device/DeviceSetup.h"
#include "platform/substrate/Loader.h"

namespace fs = std::filesystem;

namespace bench {

namespace {
// The devices this process made, removed when it exits (never by a child).
std::vector<std::string>* madeDevices = nullptr;
pid_t maker = 0;

void removeMadeDevices() {
  if (getpid() != maker) return;
  std::error_code ignored;
  for (auto& root : *madeDevices) fs::remove_all(root, ignored);
}
}  // namespace

std::string makeDevice(const char* prefix) {
  std::string root = (fs::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
  if (!mkdtemp(root.data())) std::abort();
  if (!madeDevices) {
    madeDevices = new std::vector<std::string>;
    maker = getpid();
    std::atexit(removeMadeDevices);
  }
  madeDevices->push_back(root);
  device::setRoot(root);
  setenv("ORVANE_DEVICE", root.c_str(), 1);
  if (auto created = device::createDevice(root, {}); !created) throw std::runtime_error(created.error().message());
  std::string extensions = root + "/Library/MobileSubstrate/DynamicLibraries/";
  fs::copy_file(ORVANE_HOOK_LIBRARY, extensions + "Orvane.dylib");
  fs::copy_file(ORVANE_HOOK_FILTER, extensions + "Orvane.plist");
  fs::create_directories(root + orvane::contract::soundFolder.c_str());
  for (auto& entry : fs::directory_iterator(ORVANE_SOUND_DIR))
    fs::copy_file(entry.path(), root + orvane::contract::soundDirectory.c_str() + entry.path().filename().string());
  return root;
}

double monotonicMicroseconds() {
  timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

double percentile(std::vector<double> samples, double fraction) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[std::min(samples.size() - 1, static_cast<std::size_t>(fraction * static_cast<double>(samples.size())))];
}

namespace {
int replyDescriptor = -1;
double deliveredAt = 0;

void delivered(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
  deliveredAt = monotonicMicroseconds();
}

void reloaded(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
  double at = monotonicMicroseconds();
  NSString* name =
      std::atomic_ref(*static_cast<NSString**>(dlsym(RTLD_DEFAULT, "kSelectedVolumeIncreaseSound"))).load();
  char record[160];
  int length = snprintf(record, sizeof record, "%.3f %.3f %s\n", deliveredAt, at, name ? name->utf8().c_str() : "-");
  [[maybe_unused]] ssize_t written = write(replyDescriptor, record, static_cast<size_t>(length));
}
}  // namespace

bool runReloadPeerIfAsked(int argc, char** argv) {
  if (argc != 4 || std::string(argv[1]) != "--reload-peer") return false;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  replyDescriptor = std::atoi(argv[3]);
  // Observers are called in the order they were added: this one before the library's reload.
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, delivered,
                                  NSSTR(orvane::contract::settingsChanged), nullptr,
                                  CFNotificationSuspensionBehaviorCoalesce);
  substrate::loadExtensions({"SpringBoard", {"com.apple.springboard"}});
  // Registered after the library's observer, so it runs once the reload is done.
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, reloaded,
                                  NSSTR(orvane::contract::settingsChanged), nullptr,
                                  CFNotificationSuspensionBehaviorCoalesce);
  char byte = 1;
  [[maybe_unused]] ssize_t written = write(std::atoi(argv[2]), &byte, 1);
  pause();
  std::exit(0);
}

ReloadPeer ReloadPeer::start(const char* executable) {
  int ready[2], seen[2];
  if (pipe(ready) != 0 || pipe(seen) != 0) std::abort();
  ReloadPeer peer;
  peer.pid = fork();
  if (peer.pid == 0) {
    // A fresh process: the hook library must run its initialisers anew.
    std::string readyText = std::to_string(ready[1]), seenText = std::to_string(seen[1]);
    execl("/proc/self/exe", executable, "--reload-peer", readyText.c_str(), seenText.c_str(), nullptr);
    _exit(127);
  }
  close(ready[1]);
  close(seen[1]);
  char byte;
  if (read(ready[0], &byte, 1) != 1) std::abort();
  close(ready[0]);
  peer.replies = fdopen(seen[0], "r");
  return peer;
}

double ReloadPeer::waitForName(const std::string& name) {
  char line[192];
  double at = 0;
  char seenName[160] = {};
  // Each reply is a reload; only the one that shows the new name counts.
  do {
    if (!fgets(line, sizeof line, replies)) std::abort();
    sscanf(line, "%lf %lf %159[^\n]", &delivered, &at, seenName);
  } while (name != seenName);
  return at;
}

void ReloadPeer::stop() {
  if (pid > 0) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
  if (replies) fclose(replies);
  pid = -1;
  replies = nullptr;
}

}  // namespace bench
