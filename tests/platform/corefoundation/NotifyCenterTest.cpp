#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/corefoundation/NotifyRegistry.h"
#include "platform/device/Device.h"
#include "platform/libc/Spawn.h"
#include "tests/support/TemporaryDevice.h"

// Forked children start delivery threads of their own, which the thread sanitizer refuses by default;
// its pause at exit would make every case take a second.
extern "C" const char* __tsan_default_options() { return "die_after_fork=0:atexit_sleep_ms=0"; }

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kTimeout = 5s;
const std::string kSettingsChanged = "com.quillmark.orvane/settingschanged";

CFNotificationCenterRef darwinCenter() { return CFNotificationCenterGetDarwinNotifyCenter(); }

void post(const std::string& name) {
  CFNotificationCenterPostNotification(darwinCenter(), NSString::intern(name), nullptr, nullptr, true);
}

struct Delivery {
  std::string name;
  std::thread::id thread;
  CFNotificationCenterRef center;
  const void* object;
  CFDictionaryRef userInfo;
};

// An observer that records its deliveries, and can hold one delivery inside its callback.
class Recorder {
 public:
  ~Recorder() {
    release();
    CFNotificationCenterRemoveEveryObserver(darwinCenter(), this);
  }

  void observe(const std::string& name) {
    CFNotificationCenterAddObserver(darwinCenter(), this, callback, NSString::intern(name), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
  }

  bool waitForCount(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kTimeout, [&] { return deliveries_.size() >= count; });
  }

  std::vector<Delivery> deliveries() {
    std::lock_guard lock(mutex_);
    return deliveries_;
  }

  std::vector<std::string> names() {
    std::vector<std::string> names;
    for (auto& delivery : deliveries()) names.push_back(delivery.name);
    return names;
  }

  void holdNext(const std::string& name) {
    std::lock_guard lock(mutex_);
    hold_ = name;
  }

  bool waitUntilHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kTimeout, [&] { return held_; });
  }

  void release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  static void callback(CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object,
                       CFDictionaryRef userInfo) {
    static_cast<Recorder*>(observer)->record({name->utf8(), std::this_thread::get_id(), center, object, userInfo});
  }

  void record(Delivery delivery) {
    std::unique_lock lock(mutex_);
    deliveries_.push_back(delivery);
    if (hold_ == delivery.name) {
      hold_.reset();
      held_ = true;
      changed_.notify_all();
      changed_.wait(lock, [&] { return released_; });
    }
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Delivery> deliveries_;
  std::optional<std::string> hold_;
  bool held_ = false;
  bool released_ = false;
};

// A NotifyPeer process on the device of $ORVANE_DEVICE; it ends when its input closes.
class Peer {
 public:
  explicit Peer(std::vector<std::string> words) {
    int input[2], output[2];
    EXPECT_EQ(::pipe2(input, O_CLOEXEC) | ::pipe2(output, O_CLOEXEC), 0);
    libc::SpawnOptions options;
    options.input = libc::Redirection::to(input[0]);
    options.output = libc::Redirection::to(output[1]);
    words.insert(words.begin(), NOTIFY_PEER);
    auto started = libc::spawn(words, options);
    EXPECT_TRUE(started) << started.error().message();
    pid_ = started.value_or(-1);
    ::close(input[0]);
    ::close(output[1]);
    input_ = input[1];
    output_ = output[0];
  }

  ~Peer() {
    finish();
    ::close(output_);
  }

  pid_t pid() const { return pid_; }

  /// The next line the peer writes, cut short if the peer falls silent.
  std::string readLine() {
    std::string line;
    char byte;
    pollfd waiting{output_, POLLIN, 0};
    int timeout = static_cast<int>(std::chrono::milliseconds(kTimeout).count());
    while (::poll(&waiting, 1, timeout) == 1 && ::read(output_, &byte, 1) == 1 && byte != '\n') line += byte;
    return line;
  }

  void kill() {
    ::kill(pid_, SIGKILL);
    finish();
  }

  /// The exit status, once the peer has ended.
  int finish() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (pid_ > 0) ::waitpid(std::exchange(pid_, -1), &status_, 0);
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int status_ = 0;
};

void useDevice(const std::string& root) {
  device::setRoot(root);
  setenv("ORVANE_DEVICE", root.c_str(), 1);
}

std::vector<std::string> registryEntries(const std::string& root = device::root()) {
  std::vector<std::string> entries;
  std::error_code error;
  for (auto& entry : std::filesystem::directory_iterator(root + "/var/run/notify", error))
    if (!entry.path().filename().string().starts_with(".")) entries.push_back(entry.path().filename());
  return entries;
}

class NotifyCenterTest : public ::testing::Test {
 protected:
  testsupport::TemporaryDevice device_;
};

TEST_F(NotifyCenterTest, DeliversTheNameOnItsOwnThreadWithoutObjectOrUserInfo) {
  Recorder recorder;
  recorder.observe(kSettingsChanged);
  int object = 0;
  auto userInfo = NSDictionary::dictionary();
  CFNotificationCenterPostNotification(darwinCenter(), NSString::intern(kSettingsChanged), &object, userInfo.get(),
                                       true);
  ASSERT_TRUE(recorder.waitForCount(1));
  Delivery delivery = recorder.deliveries()[0];
  EXPECT_EQ(delivery.name, kSettingsChanged);
  EXPECT_NE(delivery.thread, std::this_thread::get_id());
  EXPECT_EQ(delivery.center, darwinCenter());
  EXPECT_EQ(delivery.object, nullptr);
  EXPECT_EQ(delivery.userInfo, nullptr);
}

TEST_F(NotifyCenterTest, PostingWithNoObserverAnywhereLeavesNothingBehind) {
  post(kSettingsChanged);
  EXPECT_FALSE(std::filesystem::exists(device_.host("/var/run/notify")));
}

TEST_F(NotifyCenterTest, PostsWhileACallbackRunsOrIsPendingAreDeliveredOnceAfterIt) {
  Recorder recorder;
  for (auto name : {"running", "pending", "other", "sentinel"}) recorder.observe(name);
  recorder.holdNext("running");
  post("running");
  ASSERT_TRUE(recorder.waitUntilHeld());
  // Far more posts than a socket queues, of several names: none may be lost to a full queue.
  for (int round = 0; round < 50; ++round) {
    post("running");
    post("pending");
    post("other");
  }
  recorder.release();
  ASSERT_TRUE(recorder.waitForCount(4));
  post("sentinel");
  ASSERT_TRUE(recorder.waitForCount(5));
  EXPECT_EQ(recorder.names(), (std::vector<std::string>{"running", "running", "pending", "other", "sentinel"}));
}

std::atomic<int> selfRemovals = 0;

void removeItself(CFNotificationCenterRef center, void* observer, CFStringRef, const void*, CFDictionaryRef) {
  CFNotificationCenterRemoveEveryObserver(center, observer);
  ++selfRemovals;
}

TEST_F(NotifyCenterTest, RemovingAnObserverStopsItsDeliveriesAndWaitsForItsRunningCallback) {
  Recorder removed, kept;
  removed.observe("name");
  kept.observe("name");
  removed.holdNext("name");
  post("name");
  ASSERT_TRUE(removed.waitUntilHeld());

  std::mutex mutex;
  std::vector<std::string> events;
  std::thread remover([&] {
    CFNotificationCenterRemoveEveryObserver(darwinCenter(), &removed);
    std::lock_guard lock(mutex);
    events.push_back("removed");
  });
  // Gives a remover that does not wait the chance to return before the callback.
  std::this_thread::sleep_for(20ms);
  {
    std::lock_guard lock(mutex);
    events.push_back("released");
  }
  removed.release();
  remover.join();
  EXPECT_EQ(events, (std::vector<std::string>{"released", "removed"}));

  ASSERT_TRUE(kept.waitForCount(1));
  // A callback may remove its own observer without waiting for itself.
  CFNotificationCenterAddObserver(darwinCenter(), &removed, removeItself, NSString::intern("name"), nullptr,
                                  CFNotificationSuspensionBehaviorCoalesce);
  post("name");
  ASSERT_TRUE(kept.waitForCount(2));
  post("name");
  ASSERT_TRUE(kept.waitForCount(3));
  EXPECT_EQ(removed.deliveries().size(), 1u);
  EXPECT_EQ(selfRemovals, 1);
}

TEST_F(NotifyCenterTest, PostsReachObserversInOtherProcessesBothWays) {
  Recorder recorder;
  recorder.observe("com.quillmark.orvane/to-parent");
  {
    Peer observer({"observe", "com.quillmark.orvane/to-peer"});
    ASSERT_EQ(observer.readLine(), "ready");
    post("com.quillmark.orvane/to-peer");
    EXPECT_EQ(observer.readLine(), "com.quillmark.orvane/to-peer");

    EXPECT_EQ(Peer({"post", "com.quillmark.orvane/to-parent"}).finish(), 0);
    ASSERT_TRUE(recorder.waitForCount(1));
    EXPECT_EQ(recorder.names()[0], "com.quillmark.orvane/to-parent");
    EXPECT_EQ(registryEntries().size(), 2u);
    EXPECT_EQ(observer.finish(), 0);
  }
  // A process that exits takes its entry with it.
  EXPECT_EQ(registryEntries().size(), 1u);
}

TEST_F(NotifyCenterTest, DevicesOnOneHostAreSeparateWorlds) {
  testsupport::TemporaryDevice second;
  Peer there({"observe", "shared", "sentinel"});
  useDevice(device_.root());
  Peer here({"observe", "shared"});
  ASSERT_EQ(there.readLine(), "ready");
  ASSERT_EQ(here.readLine(), "ready");

  post("shared");
  EXPECT_EQ(here.readLine(), "shared");
  useDevice(second.root());
  post("sentinel");
  // Had the first post reached the second device, it would have been marked there first, and delivered first.
  EXPECT_EQ(there.readLine(), "sentinel");
}

TEST_F(NotifyCenterTest, ObserversFollowTheProcessToANewDeviceRootAndBack) {
  Recorder recorder;
  recorder.observe("early");
  post("early");
  ASSERT_TRUE(recorder.waitForCount(1));
  {
    testsupport::TemporaryDevice second;
    recorder.observe("late");
    EXPECT_TRUE(registryEntries(device_.root()).empty());
    EXPECT_EQ(registryEntries(second.root()).size(), 1u);
    EXPECT_EQ(Peer({"post", "late"}).finish(), 0);
    ASSERT_TRUE(recorder.waitForCount(2));
  }
  // Back home the entry has its old name but is a new file, which a poster must not confuse with the old one.
  useDevice(device_.root());
  recorder.observe("back");
  post("late");
  ASSERT_TRUE(recorder.waitForCount(3));
  EXPECT_EQ(recorder.names(), (std::vector<std::string>{"early", "late", "late"}));
}

TEST_F(NotifyCenterTest, AStalledOrKilledObserverNeitherBlocksNorSlowsPosts) {
  Peer stalled({"stall", "name"});
  ASSERT_EQ(stalled.readLine(), "ready");
  post("name");
  ASSERT_EQ(stalled.readLine(), "name");

  auto start = Clock::now();
  for (int i = 0; i < 1000; ++i) post("name");
  EXPECT_LT(Clock::now() - start, 1s);

  // Killed while a delivery is pending, the peer leaves its entry behind.
  stalled.kill();
  ASSERT_EQ(registryEntries().size(), 1u);

  Peer live({"observe", "name"});
  ASSERT_EQ(live.readLine(), "ready");
  start = Clock::now();
  post("name");
  EXPECT_LT(Clock::now() - start, 100ms);
  EXPECT_EQ(live.readLine(), "name");
  auto entries = registryEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].starts_with(std::to_string(live.pid()) + "-"));
}

TEST_F(NotifyCenterTest, AForkedChildStartsAfreshAndLeavesItsParentAlone) {
  Recorder parent;
  parent.observe("parent");
  // Forks while the delivery thread idles: the sanitizers' allocators cannot fork amid another
  // thread's allocation, and a callback's autorelease pool left open in the child is a leak there.
  // Removing an observer waits for its callback, and the probe's runs after the parent's.
  {
    Recorder probe;
    probe.observe("parent");
    post("parent");
    ASSERT_TRUE(parent.waitForCount(1));
    ASSERT_TRUE(probe.waitForCount(1));
  }
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Recorder own;
    own.observe("child");
    post("parent");
    post("child");
    // The inherited observation of "parent", had it survived, would have been delivered before "child".
    bool ok = own.waitForCount(1) && own.names() == std::vector<std::string>{"child"} &&
              parent.deliveries().size() == 1;
    // exit runs the library's clean-up, which must remove only the child's own entry.
    std::exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(parent.waitForCount(2));
  post("parent");
  ASSERT_TRUE(parent.waitForCount(3));
  EXPECT_EQ(registryEntries().size(), 1u);
}

std::string entryPath(pid_t owner) {
  for (auto& entry : registryEntries())
    if (entry.starts_with(std::to_string(owner) + "-")) return device::root() + "/var/run/notify/" + entry;
  return {};
}

// Reads lines until each wanted name came at least once; false if the peer falls silent first or
// writes a name neither wanted nor tolerated. Names may come more than once: a post may land
// before or after its entry is replaced, whose owner also delivers every name once.
bool readUntilSeen(Peer& peer, std::set<std::string> wanted, const std::set<std::string>& tolerated = {}) {
  std::set<std::string> seen;
  while (seen != wanted) {
    std::string line = peer.readLine();
    if (wanted.contains(line))
      seen.insert(line);
    else if (!tolerated.contains(line))
      return false;
  }
  return true;
}

TEST_F(NotifyCenterTest, AnEntryCutShortOrOverwrittenIsReplacedWhileItsOwnerAndPostersLiveOn) {
  Peer observer({"observe", "name", "other"});
  ASSERT_EQ(observer.readLine(), "ready");
  post("name");
  ASSERT_EQ(observer.readLine(), "name");
  std::string path = entryPath(observer.pid());
  ASSERT_FALSE(path.empty());
  auto size = std::filesystem::file_size(path);

  // This process keeps the entry mapped from the first post; touching it now would fault.
  std::filesystem::resize_file(path, 0);
  post("name");
  // The owner delivers every name it observes once, since posts may have been lost.
  EXPECT_TRUE(readUntilSeen(observer, {"name", "other"}));
  EXPECT_EQ(std::filesystem::file_size(path), size);
  post("other");
  EXPECT_TRUE(readUntilSeen(observer, {"other"}, {"name"}));

  std::filesystem::resize_file(path, size / 2);
  EXPECT_TRUE(readUntilSeen(observer, {"name", "other"}));
  testsupport::writeFile(path, std::string(size, '\x7f'));
  EXPECT_TRUE(readUntilSeen(observer, {"name", "other"}));
  EXPECT_EQ(Peer({"post", "other"}).finish(), 0);
  EXPECT_TRUE(readUntilSeen(observer, {"other"}, {"name"}));

  // The same in one process, which both owns the entry and maps it as a poster.
  Recorder recorder;
  recorder.observe("mine");
  post("mine");
  ASSERT_TRUE(recorder.waitForCount(1));
  std::filesystem::resize_file(entryPath(::getpid()), 0);
  post("mine");
  ASSERT_TRUE(recorder.waitForCount(2));
  post("mine");
  ASSERT_TRUE(recorder.waitForCount(3));
  EXPECT_EQ(observer.finish(), 0);
}

TEST_F(NotifyCenterTest, EntriesCutShortWhileInUseBringDownNeitherPosterNorOwner) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a fault inside the thread sanitizer's own atomics cannot be recovered from";
#endif
  std::string directory = notify::registryDirectory();
  std::filesystem::create_directories(directory);
  std::uint64_t key = notify::keyOf("storm");
  // Bound, so that posters keep ringing the entry rather than removing it.
  int doorbell = notify::bindDoorbell("1-storm");
  ASSERT_GE(doorbell, 0);
  for (int round = 0; round < 200; ++round) {
    auto entry = notify::Endpoint::create(directory, "1-storm");
    ASSERT_TRUE(entry && entry->watch(key));
    notify::post(key);
    int file = ::open((directory + "/1-storm").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(file, 0);
    off_t size = ::lseek(file, 0, SEEK_END);
    std::atomic<bool> cutting{true};
    std::thread cutter([&] {
      while (cutting) {
        [[maybe_unused]] int cut = ::ftruncate(file, 0);
        [[maybe_unused]] int restored = ::ftruncate(file, size);
      }
    });
    for (int use = 0; use < 50; ++use) {
      notify::post(key);
      entry->mark(key);
      entry->takePending();
      entry->condition({key});
    }
    cutting = false;
    cutter.join();
    ::close(file);
    notify::drainDoorbell(doorbell);
  }
  ::close(doorbell);
  // Nothing of the storm stays in the way of an observer.
  Recorder recorder;
  recorder.observe("after");
  post("after");
  EXPECT_TRUE(recorder.waitForCount(1));
}

TEST_F(NotifyCenterTest, ARemovedEntryIsMadeAgainAndHearsPostsFromNewProcesses) {
  Peer observer({"observe", "name", "sentinel"});
  ASSERT_EQ(observer.readLine(), "ready");
  std::string path = entryPath(observer.pid());
  ASSERT_FALSE(path.empty());
  std::filesystem::remove(path);
  auto deadline = Clock::now() + kTimeout;
  while (!std::filesystem::exists(path) && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_TRUE(readUntilSeen(observer, {"name", "sentinel"}));
  EXPECT_EQ(Peer({"post", "sentinel"}).finish(), 0);
  EXPECT_EQ(observer.readLine(), "sentinel");
  EXPECT_EQ(observer.finish(), 0);
}

TEST_F(NotifyCenterTest, RapidRoundTripsBetweenProcessesLoseNoWakeUp) {
  Peer echo({"echo", "ping", "pong"});
  ASSERT_EQ(echo.readLine(), "ready");
  Recorder recorder;
  recorder.observe("pong");
  constexpr std::size_t kRounds = 300;
  std::vector<double> microseconds;
  for (std::size_t round = 1; round <= kRounds; ++round) {
    auto start = Clock::now();
    post("ping");
    ASSERT_TRUE(recorder.waitForCount(round)) << "round " << round;
    microseconds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  EXPECT_EQ(recorder.deliveries().size(), kRounds);
  std::sort(microseconds.begin(), microseconds.end());
  RecordProperty("median_round_trip_us", std::to_string(microseconds[kRounds / 2]));
}

}  // namespace
