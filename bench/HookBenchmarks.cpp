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

#include "bench/BenchSupport.h"
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
  static std::string root = bench::makeDevice("orvane-bench");
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

/// From a post in this process to the reloaded snapshot in another.
void PostToReloadedSnapshotInAnotherProcess(benchmark::State& state) {
  prepareDevice();
  writePreferences(true, "Theme 0");
  auto peer = bench::ReloadPeer::start("hook-benchmarks");
  std::vector<double> samples;
  long generation = 0;
  for (auto _ : state) {
    std::string name = "Theme " + std::to_string(++generation);
    writePreferences(true, name);
    double posted = bench::monotonicMicroseconds();
    post();
    double latency = peer.waitForName(name) - posted;
    samples.push_back(latency);
    state.SetIterationTime(latency / 1e6);
  }
  peer.stop();
  state.counters["median_us"] = bench::percentile(samples, 0.5);
  state.counters["p99_us"] = bench::percentile(samples, 0.99);
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
      double at = bench::monotonicMicroseconds();
      [[maybe_unused]] ssize_t written = write(back[1], &at, sizeof at);
    }
    _exit(0);
  }
  std::vector<double> samples;
  for (auto _ : state) {
    double sent = bench::monotonicMicroseconds();
    send(sockets[0], "x", 1, 0);
    double at = 0;
    if (read(back[0], &at, sizeof at) != sizeof at) std::abort();
    samples.push_back(at - sent);
    state.SetIterationTime((at - sent) / 1e6);
  }
  close(sockets[0]);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  state.counters["median_us"] = bench::percentile(samples, 0.5);
  state.counters["p99_us"] = bench::percentile(samples, 0.99);
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
  bench::runReloadPeerIfAsked(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
