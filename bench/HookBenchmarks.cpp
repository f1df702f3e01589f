// What a press costs with the hook, how fast a change reaches the snapshot in
// another process, and whether SpringBoard's memory stays flat.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sndfile.h>
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
#include <vector>

#include "bench/BenchSupport.h"
#include "contract/Orvane.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/device/DeviceSetup.h"
#include "platform/foundation/Foundation.h"
#include "platform/substrate/Loader.h"
#include "sim/springboard/VolumeControl.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* preferencesPath = orvane::contract::preferencesPath.c_str();
constexpr const char* settingsChanged = orvane::contract::settingsChanged.c_str();
constexpr const char* soundDirectory = orvane::contract::soundDirectory.c_str();
constexpr const char* soundExtension = orvane::contract::soundExtension.c_str();

/// A device with the hook library and the themes installed, made once per run.
std::string prepareDevice() {
  static std::string root = bench::makeDevice("orvane-bench");
  return root;
}

void writePreferences(bool enabled, const std::string& increaseSound, const std::string& decreaseSound = "") {
  auto preferences = NSMutableDictionary::dictionary();
  preferences->setObject_forKey(NSNumber::numberWithBool(enabled).get(), orvane::contract::enabledKey);
  preferences->setObject_forKey(NSString::stringWithUTF8String(increaseSound).get(),
                                orvane::contract::increaseSoundKey);
  if (!decreaseSound.empty())
    preferences->setObject_forKey(NSString::stringWithUTF8String(decreaseSound).get(),
                                  orvane::contract::decreaseSoundKey);
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

void selectTheme(bool enabled, const std::string& name) {
  springBoard();
  writePreferences(enabled, name);
  ReloadWatcher::shared().postAndWait();
  if (std::atomic_ref(*static_cast<bool*>(dlsym(RTLD_DEFAULT, "kEnabled"))).load() != enabled) std::abort();
}

void setSwitch(bool enabled) { selectTheme(enabled, "Mac Volume Change"); }

/// A 30-second stereo 48 kHz theme of its own name, as long as a system sound may be.
std::string installLongTheme(int number) {
  std::string name = "Long " + std::to_string(number);
  std::string path = device::hostPath(std::string(soundDirectory) + name + soundExtension);
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) std::abort();
  std::vector<float> samples(30 * 48000 * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.3f * static_cast<float>((i * 7919 + number) % 1000) / 1000.0f;
  sf_writef_float(file, samples.data(), 30 * 48000);
  sf_close(file);
  return name;
}

void VolumeUpPress(benchmark::State& state) {
  NSObject* volumeControl = springBoard();
  bool enabled = state.range(0) != 0;
  setSwitch(enabled);
  SEL increaseVolume = sel_registerName("increaseVolume");
  for (auto _ : state) objc_msgSend(volumeControl, increaseVolume);
  state.SetLabel(enabled ? "sounds on: file checked, sound made from it, played" : "switch off (baseline)");
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // let the last sound end
}
BENCHMARK(VolumeUpPress)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

long residentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

/// Resident memory after pressing each of eight distinct 30 s stereo 48 kHz
/// themes, against the size before the first of them.
void MemoryAfterDistinctLongThemes(benchmark::State& state) {
  NSObject* volumeControl = springBoard();
  SEL decreaseVolume = sel_registerName("decreaseVolume");
  std::vector<std::string> themes;
  for (int number = 100; number < 108; ++number) themes.push_back(installLongTheme(number));
  for (auto _ : state) {
    setSwitch(true);
    objc_msgSend(volumeControl, decreaseVolume);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    long before = residentKilobytes();
    for (auto& theme : themes) {
      writePreferences(true, "Mac Volume Change", theme);
      ReloadWatcher::shared().postAndWait();
      for (int press = 0; press < 5; ++press) objc_msgSend(volumeControl, decreaseVolume);
    }
    setSwitch(true);
    objc_msgSend(volumeControl, decreaseVolume);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    long after = residentKilobytes();
    state.counters["rss_before_kib"] = static_cast<double>(before);
    state.counters["rss_after_kib"] = static_cast<double>(after);
    state.counters["growth_kib"] = static_cast<double>(after - before);
  }
}
BENCHMARK(MemoryAfterDistinctLongThemes)->Iterations(1)->Unit(benchmark::kSecond);

/// A press of the 0.1 s default theme (volume up) against a press of a 30 s
/// stereo 48 kHz theme (volume down), alternating; the very first press of
/// the long theme, which decodes it, is counted apart.
void PressLongThemeAgainstDefault(benchmark::State& state) {
  NSObject* volumeControl = springBoard();
  SEL increaseVolume = sel_registerName("increaseVolume");
  SEL decreaseVolume = sel_registerName("decreaseVolume");
  std::string longTheme = installLongTheme(static_cast<int>(state.range(0)));
  writePreferences(true, "Mac Volume Change", longTheme);
  ReloadWatcher::shared().postAndWait();
  std::vector<double> shortPresses, longPresses;
  double firstLongPress = -1;
  for (auto _ : state) {
    for (int press = 0; press < 20000; ++press) {
      bool isLong = press % 2 == 1;
      double started = bench::monotonicMicroseconds();
      objc_msgSend(volumeControl, isLong ? decreaseVolume : increaseVolume);
      double took = bench::monotonicMicroseconds() - started;
      if (firstLongPress < 0 && isLong) firstLongPress = took;
      else (isLong ? longPresses : shortPresses).push_back(took);
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  double shortMedian = bench::percentile(shortPresses, 0.5), longMedian = bench::percentile(longPresses, 0.5);
  double shortP99 = bench::percentile(shortPresses, 0.99), longP99 = bench::percentile(longPresses, 0.99);
  state.counters["default_median_us"] = shortMedian;
  state.counters["default_p99_us"] = shortP99;
  state.counters["long_median_us"] = longMedian;
  state.counters["long_p99_us"] = longP99;
  state.counters["median_ratio"] = longMedian / shortMedian;
  state.counters["p99_ratio"] = longP99 / shortP99;
  state.counters["long_first_press_us"] = firstLongPress;
}
BENCHMARK(PressLongThemeAgainstDefault)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

/// A bare Unix datagram to another process, which takes the time it woke at
/// and sends it back over a pipe, as the reload peer does with its reloads.
/// With `reading`, the receiver first opens, reads and closes the preferences
/// file: the least any reload after a wake-up costs.
struct DatagramEcho {
  pid_t pid = -1;
  int socket = -1;
  int replies = -1;

  static DatagramEcho start(bool reading = false) {
    int sockets[2], back[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, sockets) != 0 || pipe2(back, O_CLOEXEC) != 0) std::abort();
    DatagramEcho echo;
    echo.pid = fork();
    if (echo.pid == 0) {
      char buffer[64];
      std::string file = device::hostPath(preferencesPath);
      while (recv(sockets[1], buffer, sizeof buffer, 0) > 0) {
        if (reading) {
          char contents[4096];
          int descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC);
          if (descriptor < 0 || read(descriptor, contents, sizeof contents) <= 0) std::abort();
          close(descriptor);
        }
        double at = bench::monotonicMicroseconds();
        [[maybe_unused]] ssize_t written = write(back[1], &at, sizeof at);
      }
      _exit(0);
    }
    close(sockets[1]);
    close(back[1]);
    echo.socket = sockets[0];
    echo.replies = back[0];
    return echo;
  }
  /// From just before the send to the receiver's wake-up, in microseconds.
  double roundTrip() {
    double sent = bench::monotonicMicroseconds();
    if (send(socket, "x", 1, 0) != 1) std::abort();
    double at = 0;
    if (read(replies, &at, sizeof at) != sizeof at) std::abort();
    return at - sent;
  }
  void stop() {
    close(socket);
    close(replies);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

/// The posting side of PostToReloadedSnapshotInAnotherProcess, run in a fresh
/// process on a device of its own: earlier benchmarks loaded the hook library
/// into the benchmark's own process, which would otherwise reload on every
/// post too. Writes, per
/// post, the time to the reloaded snapshot, the time the post call took, a
/// bare datagram's time measured right after it the same way (sent after the
/// same write of the preferences file, so that its receiver too has been idle
/// while the file was written and flushed), the time to the delivery, and a
/// datagram whose receiver reads the file before it answers, measured the same way.
[[noreturn]] void runPoster(bool observing, long posts, int output) {
  // A device of its own: earlier benchmarks loaded the hook library into the
  // benchmark's process, which would otherwise observe these posts and reload too.
  bench::makeDevice("orvane-bench-post");
  if (observing) {
    VolumeControl::class_();
    substrate::loadExtensions({"SpringBoard", {"com.apple.springboard"}});
  }
  writePreferences(true, "Theme 0");
  auto peer = bench::ReloadPeer::start("hook-benchmarks");
  auto echo = DatagramEcho::start();
  auto reader = DatagramEcho::start(true);
  constexpr long kWarmUp = 50;
  for (long generation = 1; generation <= kWarmUp + posts; ++generation) {
    std::string name = "Theme " + std::to_string(generation);
    writePreferences(true, name);
    double posted = bench::monotonicMicroseconds();
    post();
    double returned = bench::monotonicMicroseconds();
    double reloaded = peer.waitForName(name);
    double delivered = peer.delivered;
    writePreferences(true, name);
    double datagram = echo.roundTrip();
    writePreferences(true, name);
    double sample[5] = {reloaded - posted, returned - posted, datagram, delivered - posted, reader.roundTrip()};
    if (generation > kWarmUp && write(output, sample, sizeof sample) != sizeof sample) std::abort();
  }
  echo.stop();
  reader.stop();
  peer.stop();
  std::exit(0);
}

bool runPosterIfAsked(int argc, char** argv) {
  if (argc != 5 || std::string(argv[1]) != "--notify-poster") return false;
  runPoster(std::string(argv[2]) == "observing", std::atol(argv[3]), std::atoi(argv[4]));
}

/// From a post in one process to the reloaded snapshot in another, the posting
/// process observing the name itself (1) or not (0), against a bare datagram
/// between two processes measured in turn with it.
void PostToReloadedSnapshotInAnotherProcess(benchmark::State& state) {
  prepareDevice();
  long posts = static_cast<long>(state.max_iterations);
  int samples[2];
  if (pipe(samples) != 0) std::abort();
  pid_t poster = fork();
  if (poster == 0) {
    close(samples[0]);
    std::string count = std::to_string(posts), descriptor = std::to_string(samples[1]);
    execl("/proc/self/exe", "hook-benchmarks", "--notify-poster", state.range(0) ? "observing" : "not-observing",
          count.c_str(), descriptor.c_str(), nullptr);
    _exit(127);
  }
  close(samples[1]);
  std::vector<double> latencies, postCalls, datagrams, deliveries, reloads, readings;
  double sample[5];
  while (read(samples[0], sample, sizeof sample) == sizeof sample) {
    latencies.push_back(sample[0]);
    postCalls.push_back(sample[1]);
    datagrams.push_back(sample[2]);
    deliveries.push_back(sample[3]);
    reloads.push_back(sample[0] - sample[3]);
    readings.push_back(sample[4]);
  }
  close(samples[0]);
  int status = 0;
  waitpid(poster, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || static_cast<long>(latencies.size()) != posts) std::abort();
  std::size_t next = 0;
  for (auto _ : state) state.SetIterationTime(latencies[next++] / 1e6);
  state.SetLabel(state.range(0) ? "posting process observes the name" : "posting process does not observe");
  double median = bench::percentile(latencies, 0.5), p99 = bench::percentile(latencies, 0.99);
  double datagramMedian = bench::percentile(datagrams, 0.5), datagramP99 = bench::percentile(datagrams, 0.99);
  state.counters["median_us"] = median;
  state.counters["p99_us"] = p99;
  state.counters["post_call_median_us"] = bench::percentile(postCalls, 0.5);
  // The two legs: post to the peer's first callback, then its reload.
  state.counters["delivered_median_us"] = bench::percentile(deliveries, 0.5);
  state.counters["reload_median_us"] = bench::percentile(reloads, 0.5);
  state.counters["datagram_median_us"] = datagramMedian;
  state.counters["datagram_p99_us"] = datagramP99;
  state.counters["median_ratio"] = median / datagramMedian;
  // The floor of any reload: the datagram, then the file read whole, unparsed.
  double readingMedian = bench::percentile(readings, 0.5);
  state.counters["datagram_and_read_median_us"] = readingMedian;
  state.counters["datagram_and_read_over_datagram"] = readingMedian / datagramMedian;
  state.counters["p99_ratio"] = p99 / datagramP99;
}
BENCHMARK(PostToReloadedSnapshotInAnotherProcess)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

/// A bare Unix datagram between two processes, sent back to back with
/// nothing between them: the floor, with the receiver never idle for long.
void DatagramBetweenProcesses(benchmark::State& state) {
  auto echo = DatagramEcho::start();
  std::vector<double> samples;
  for (auto _ : state) {
    double took = echo.roundTrip();
    samples.push_back(took);
    state.SetIterationTime(took / 1e6);
  }
  echo.stop();
  state.counters["median_us"] = bench::percentile(samples, 0.5);
  state.counters["p99_us"] = bench::percentile(samples, 0.99);
}
BENCHMARK(DatagramBetweenProcesses)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

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
  runPosterIfAsked(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
