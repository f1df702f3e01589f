// What a press costs with the hook, how fast a change reaches the snapshot in
// another process, and whether SpringBoard's memory stays flat.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/device/DeviceSetup.h"
#include "platform/foundation/Foundation.h"
#include "platform/substrate/CydiaSubstrate.h"
#include "sim/springboard/VolumeControl.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* preferencesPath = "/var/mobile/Library/Preferences/com.quillmark.orvane.plist";
constexpr const char* settingsChanged = "com.quillmark.orvane/settingschanged";

/// A device with the hook library and the themes installed, made once per run.
std::string prepareDevice() {
  static std::string root = [] {
    std::string pattern = (fs::temp_directory_path() / "orvane-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    device::setRoot(pattern);
    setenv("ORVANE_DEVICE", pattern.c_str(), 1);
    device::createDevice(pattern, {});
    std::string extensions = pattern + "/Library/MobileSubstrate/DynamicLibraries/";
    fs::copy_file(ORVANE_HOOK_LIBRARY, extensions + "Orvane.dylib");
    fs::copy_file(ORVANE_HOOK_FILTER, extensions + "Orvane.plist");
    fs::create_directories(pattern + "/Library/Application Support/Orvane");
    for (auto& entry : fs::directory_iterator(ORVANE_SOUND_DIR))
      fs::copy_file(entry.path(), pattern + "/Library/Application Support/Orvane/" + entry.path().filename().string());
    return pattern;
  }();
  return root;
}

void writePreferences(bool enabled, const std::string& increaseSound) {
  auto preferences = NSMutableDictionary::dictionary();
  preferences->setObject_forKey(NSNumber::numberWithBool(enabled), "isEnabled");
  preferences->setObject_forKey(NSString::stringWithUTF8String(increaseSound), "selectedIncreaseSound");
  preferences->writeToFile_atomically(NSSTR(preferencesPath), true);
}

void post() {
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), CFSTR(settingsChanged), nullptr,
                                       nullptr, true);
}

/// Loads the hook library into this process, as SpringBoard's loader does.
NSObject* springBoard() {
  static Retained<NSObject> volumeControl = [] {
    prepareDevice();
    Class cls = VolumeControl::class_();
    writePreferences(true, "Mac Volume Change");
    substrate::loadExtensions({"SpringBoard", {"com.apple.springboard"}});
    return objc_createObject(cls);
  }();
  return volumeControl.get();
}

/// Waits, from a second observer registered after the hook library's, until
/// the library's reload for a post has run.
struct ReloadWatcher {
  std::mutex mutex;
  std::condition_variable changed;
  long reloads = 0;

  static ReloadWatcher& shared() {
    static ReloadWatcher* watcher = [] {
      auto* created = new ReloadWatcher;
      CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), created, callback,
                                      CFSTR(settingsChanged), nullptr, CFNotificationSuspensionBehaviorCoalesce);
      return created;
    }();
    return *watcher;
  }
  static void callback(CFNotificationCenterRef, void* observer, CFStringRef, const void*, CFDictionaryRef) {
    auto* watcher = static_cast<ReloadWatcher*>(observer);
    std::lock_guard lock(watcher->mutex);
    ++watcher->reloads;
    watcher->changed.notify_all();
  }
  void postAndWait() {
    std::unique_lock lock(mutex);
    long before = reloads;
    lock.unlock();
    post();
    lock.lock();
    changed.wait(lock, [&] { return reloads > before; });
  }
};

void setSwitch(bool enabled) {
  springBoard();
  writePreferences(enabled, "Mac Volume Change");
  ReloadWatcher::shared().postAndWait();
  if (std::atomic_ref(*static_cast<bool*>(dlsym(RTLD_DEFAULT, "kEnabled"))).load() != enabled) std::abort();
}

void VolumeUpPress(benchmark::State& state) {
  NSObject* volumeControl = springBoard();
  bool enabled = state.range(0) != 0;
  setSwitch(enabled);
  SEL increaseVolume = sel_registerName("increaseVolume");
  for (auto _ : state) objc_msgSend(volumeControl, increaseVolume);
  state.SetLabel(enabled ? "sounds on: file read, decoded, played" : "switch off (baseline)");
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // let the last sound end
}
BENCHMARK(VolumeUpPress)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

std::vector<double> sorted(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples;
}
double percentile(const std::vector<double>& sortedSamples, double fraction) {
  return sortedSamples[std::min(sortedSamples.size() - 1, static_cast<std::size_t>(fraction * sortedSamples.size()))];
}

double monotonicMicroseconds() {
  timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

/// The other process of the reload benchmark: a fresh process (the hook
/// library must run its initialisers anew) that loads the library and writes,
/// after every reload, the time it finished and the name it then holds.
int runReloadPeer(int readyDescriptor, int seenDescriptor) {
  static int seen = seenDescriptor;
  substrate::loadExtensions({"SpringBoard", {"com.apple.springboard"}});
  CFNotificationCenterAddObserver(
      CFNotificationCenterGetDarwinNotifyCenter(), nullptr,
      [](CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
        double at = monotonicMicroseconds();
        NSString* name =
            std::atomic_ref(*static_cast<NSString**>(dlsym(RTLD_DEFAULT, "kSelectedVolumeIncreaseSound"))).load();
        char record[128];
        int length = snprintf(record, sizeof record, "%.3f %s\n", at, name ? name->utf8().c_str() : "-");
        [[maybe_unused]] ssize_t written = write(seen, record, static_cast<size_t>(length));
      },
      CFSTR(settingsChanged), nullptr, CFNotificationSuspensionBehaviorCoalesce);
  char byte = 1;
  [[maybe_unused]] ssize_t written = write(readyDescriptor, &byte, 1);
  pause();
  return 0;
}

/// From a post in this process to the reloaded snapshot in another.
void PostToReloadedSnapshotInAnotherProcess(benchmark::State& state) {
  std::string root = prepareDevice();
  writePreferences(true, "Theme 0");
  int ready[2], seen[2];
  if (pipe(ready) != 0 || pipe(seen) != 0) std::abort();
  pid_t child = fork();
  if (child == 0) {
    std::string readyText = std::to_string(ready[1]), seenText = std::to_string(seen[1]);
    execl("/proc/self/exe", "hook-benchmarks", "--reload-peer", readyText.c_str(), seenText.c_str(), nullptr);
    _exit(127);
  }
  char byte;
  if (read(ready[0], &byte, 1) != 1) std::abort();
  FILE* replies = fdopen(seen[0], "r");
  std::vector<double> samples;
  long generation = 0;
  for (auto _ : state) {
    std::string name = "Theme " + std::to_string(++generation);
    writePreferences(true, name);
    double posted = monotonicMicroseconds();
    post();
    char line[160];
    double at = 0;
    char seenName[128] = {};
    // Each reply is a reload; only the one that shows the new name counts.
    do {
      if (!fgets(line, sizeof line, replies)) std::abort();
      sscanf(line, "%lf %127[^\n]", &at, seenName);
    } while (name != seenName);
    double latency = at - posted;
    samples.push_back(latency);
    state.SetIterationTime(latency / 1e6);
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  fclose(replies);
  auto ordered = sorted(samples);
  state.counters["median_us"] = percentile(ordered, 0.5);
  state.counters["p99_us"] = percentile(ordered, 0.99);
}
BENCHMARK(PostToReloadedSnapshotInAnotherProcess)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

/// A bare Unix datagram between two processes, for comparison.
void DatagramBetweenProcesses(benchmark::State& state) {
  int sockets[2];
  socketpair(AF_UNIX, SOCK_DGRAM, 0, sockets);
  int back[2];
  if (pipe(back) != 0) std::abort();
  pid_t child = fork();
  if (child == 0) {
    char buffer[64];
    while (recv(sockets[1], buffer, sizeof buffer, 0) > 0) {
      double at = monotonicMicroseconds();
      [[maybe_unused]] ssize_t written = write(back[1], &at, sizeof at);
    }
    _exit(0);
  }
  std::vector<double> samples;
  for (auto _ : state) {
    double sent = monotonicMicroseconds();
    send(sockets[0], "x", 1, 0);
    double at = 0;
    if (read(back[0], &at, sizeof at) != sizeof at) std::abort();
    samples.push_back(at - sent);
    state.SetIterationTime((at - sent) / 1e6);
  }
  close(sockets[0]);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  auto ordered = sorted(samples);
  state.counters["median_us"] = percentile(ordered, 0.5);
  state.counters["p99_us"] = percentile(ordered, 0.99);
}
BENCHMARK(DatagramBetweenProcesses)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

long residentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

/// Resident memory after 100,000 reloads and 10,000 presses, against the size
/// after the first of each, once the sounds have ended.
void MemoryAfterReloadsAndPresses(benchmark::State& state) {
  NSObject* volumeControl = springBoard();
  SEL increaseVolume = sel_registerName("increaseVolume");
  SEL decreaseVolume = sel_registerName("decreaseVolume");
  for (auto _ : state) {
    const char* names[] = {"Mac Volume Change", "Click", "Chime", "Drop"};
    writePreferences(true, names[0]);
    ReloadWatcher::shared().postAndWait();
    objc_msgSend(volumeControl, increaseVolume);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    long before = residentKilobytes();
    for (int i = 0; i < 100000; ++i) {
      if (i % 1000 == 0) writePreferences(true, names[(i / 1000) % 4]);
      ReloadWatcher::shared().postAndWait();
    }
    long afterReloads = residentKilobytes();
    for (int i = 0; i < 10000; ++i) objc_msgSend(volumeControl, i % 2 ? increaseVolume : decreaseVolume);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    long after = residentKilobytes();
    state.counters["rss_first_kib"] = static_cast<double>(before);
    state.counters["rss_after_kib"] = static_cast<double>(after);
    state.counters["growth_kib"] = static_cast<double>(after - before);
    state.counters["growth_reloads_kib"] = static_cast<double>(afterReloads - before);
  }
}
BENCHMARK(MemoryAfterReloadsAndPresses)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--reload-peer") return runReloadPeer(std::atoi(argv[2]), std::atoi(argv[3]));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
