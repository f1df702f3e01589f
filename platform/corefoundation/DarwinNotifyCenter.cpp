#include <poll.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/corefoundation/NotifyRegistry.h"

struct __CFNotificationCenter {};

namespace {

struct Observation {
  std::uint64_t id;
  const void* observer;
  CFNotificationCallback callback;
  NSString* name;
  std::uint64_t key;
};

struct Center {
  __CFNotificationCenter handle;
  std::mutex mutex;
  std::condition_variable callbackFinished;
  std::vector<Observation> observations;
  std::uint64_t nextId = 1;
  std::string token;
  int doorbell = -1;
  // Connected to this process's own doorbell, to wake the delivery thread for a check.
  int bell = -1;
  // The Check the next delivery makes besides the entry's, raised before the bell rings.
  std::atomic<int> check{0};
  // Reports changes in the registry directory, so a damaged or removed entry is re-created at once.
  int directoryWatcher = -1;
  int directoryWatch = -1;
  std::unique_ptr<notify::Endpoint> endpoint;
  bool delivering = false;
  std::thread::id deliveryThread;
  // The observer whose callback is running, so that removing it can wait for the callback to return.
  std::optional<const void*> running;
  // Used by the delivery thread alone, outside the lock; kept to spare an allocation per delivery.
  std::vector<Observation> batch;
};

Center& center() {
  // Never destroyed: the delivery thread may still run while the process exits.
  static auto* instance = new Center;
  return *instance;
}

bool stillObserving(const Center& state, std::uint64_t id) {
  for (auto& observation : state.observations)
    if (observation.id == id) return true;
  return false;
}

std::vector<std::uint64_t> watchedKeys(const Center& state) {
  std::vector<std::uint64_t> keys;
  for (auto& observation : state.observations) keys.push_back(observation.key);
  return keys;
}

void watchDirectory(Center& state, const std::string& directory) {
  if (state.directoryWatcher < 0) return;
  int watch = ::inotify_add_watch(state.directoryWatcher, directory.c_str(),
                                  IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB |
                                      IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
  if (state.directoryWatch >= 0 && state.directoryWatch != watch)
    ::inotify_rm_watch(state.directoryWatcher, state.directoryWatch);
  state.directoryWatch = watch;
}

// Replaces an entry that was removed, cut short or overwritten by someone
// else. Posts may have been lost meanwhile, so every observed name is
// delivered once. Called with the mutex held.
void recreateEntry(Center& state) {
  // Never makes the directory again: it goes when its whole device is removed.
  auto entry = notify::Endpoint::create(state.endpoint->directory(), state.token,
                                        notify::Endpoint::Directory::MustExist);
  if (!entry) return;
  for (auto& observation : state.observations) {
    entry->watch(observation.key);
    entry->mark(observation.key);
  }
  state.endpoint->abandon();
  state.endpoint = std::move(entry);
  watchDirectory(state, state.endpoint->directory());
}

enum class Check {
  // Only what every use of the mapping checks.
  Entry,
  // The registry changed: an entry damaged in place is replaced at once.
  Damage,
  // Also re-creates a removed entry, late enough not to race with a device being deleted whole.
  Everything,
};

void deliverPending(Check check) {
  Center& state = center();
  std::vector<Observation>& batch = state.batch;
  batch.clear();
  {
    std::lock_guard lock(state.mutex);
    if (!state.endpoint) return;
    if (check != Check::Entry) {
      using Condition = notify::Endpoint::Condition;
      Condition condition = state.endpoint->condition(watchedKeys(state));
      if (condition == Condition::Damaged || (condition == Condition::Missing && check == Check::Everything))
        recreateEntry(state);
    }
    for (std::uint64_t key : state.endpoint->takePending())
      for (auto& observation : state.observations)
        if (observation.key == key) batch.push_back(observation);
  }
  for (auto& observation : batch) {
    {
      std::lock_guard lock(state.mutex);
      if (!stillObserving(state, observation.id)) continue;
      state.running = observation.observer;
    }
    {
      // Each callback in a pool of its own, as a run loop drains one per source it serves.
      AutoreleasePool pool;
      observation.callback(&state.handle, const_cast<void*>(observation.observer), observation.name, nullptr, nullptr);
    }
    {
      std::lock_guard lock(state.mutex);
      state.running.reset();
    }
    state.callbackFinished.notify_all();
  }
}

bool drainWatcher(int watcher) {
  alignas(inotify_event) char events[4096];
  bool any = false;
  while (::read(watcher, events, sizeof events) > 0) any = true;
  return any;
}

// Blocks in the doorbell alone, so a post wakes it straight into delivery.
void deliveryLoop(int doorbell) {
  Center& state = center();
  for (;;) {
    // Every mark behind a wake-up taken here was set before its ring, so one scan serves them all.
    if (!notify::awaitDoorbell(doorbell)) return;
    deliverPending(static_cast<Check>(state.check.exchange(0)));
  }
}

// Raises what the next delivery checks, then wakes it through its own doorbell.
void requestCheck(Center& state, int bell, Check check) {
  int wanted = static_cast<int>(check);
  int current = state.check.load();
  while (current < wanted && !state.check.compare_exchange_weak(current, wanted)) {
  }
  notify::ringDoorbell(bell);
}

// Watches the registry for changes, and looks at the entry now and then for
// changes the watcher cannot report.
void watchLoop(int watcher, int bell) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kCheckInterval = std::chrono::seconds(1);
  Center& state = center();
  auto nextCheck = Clock::now() + kCheckInterval;
  pollfd waiting = {watcher, POLLIN, 0};
  for (;;) {
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextCheck - Clock::now()).count();
    int ready = ::poll(&waiting, watcher >= 0 ? 1 : 0, static_cast<int>(std::max<long>(wait, 0)));
    // A watcher that fails leaves the checks now and then.
    if ((ready < 0 && errno != EINTR) || (ready > 0 && (waiting.revents & (POLLERR | POLLNVAL)))) watcher = -1;
    else if (ready > 0 && drainWatcher(watcher)) requestCheck(state, bell, Check::Damage);
    if (Clock::now() >= nextCheck) {
      requestCheck(state, bell, Check::Everything);
      nextCheck = Clock::now() + kCheckInterval;
    }
  }
}

// Publishes this process's entry in the current device's registry, moving it
// there if the device root changed since. Called with the mutex held.
bool attach(Center& state) {
  std::string directory = notify::registryDirectory();
  if (state.endpoint && state.endpoint->directory() == directory) return true;
  if (state.doorbell < 0) {
    state.token = notify::newToken();
    state.doorbell = notify::bindDoorbell(state.token);
    state.bell = state.doorbell >= 0 ? notify::connectDoorbell(state.token) : -1;
    if (state.bell < 0) {
      if (state.doorbell >= 0) ::close(state.doorbell);
      state.doorbell = -1;
      return false;
    }
  }
  auto endpoint = notify::Endpoint::create(directory, state.token);
  if (!endpoint) return false;
  for (auto& observation : state.observations) endpoint->watch(observation.key);
  if (state.endpoint)
    for (std::uint64_t key : state.endpoint->takePending()) endpoint->mark(key);
  state.endpoint = std::move(endpoint);
  if (!state.delivering) {
    state.directoryWatcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::thread delivery(deliveryLoop, state.doorbell);
    state.deliveryThread = delivery.get_id();
    delivery.detach();
    std::thread(watchLoop, state.directoryWatcher, state.bell).detach();
    state.delivering = true;
  }
  watchDirectory(state, directory);
  return true;
}

void prepareFork() { center().mutex.lock(); }

void resumeParent() { center().mutex.unlock(); }

// The child has no delivery thread and shares its parent's entry, so it starts
// afresh: keeping the parent's socket would steal its wake-ups and keep it
// looking alive after it dies.
void resetChild() {
  Center& state = center();
  if (state.endpoint) state.endpoint->abandon();
  state.endpoint.reset();
  if (state.doorbell >= 0) ::close(state.doorbell);
  if (state.bell >= 0) ::close(state.bell);
  state.doorbell = state.bell = -1;
  state.check.store(0);
  // The parent's watcher would hand the child its parent's events.
  if (state.directoryWatcher >= 0) ::close(state.directoryWatcher);
  state.directoryWatcher = state.directoryWatch = -1;
  state.token.clear();
  state.observations.clear();
  state.delivering = false;
  state.deliveryThread = {};
  state.running.reset();
  // A waiter of the parent does not exist here, and must not be waited for.
  new (&state.callbackFinished) std::condition_variable;
  state.mutex.unlock();
}

[[maybe_unused]] const int forkHandlers = pthread_atfork(prepareFork, resumeParent, resetChild);

struct RemoveEntryAtExit {
  ~RemoveEntryAtExit() {
    Center& state = center();
    std::lock_guard lock(state.mutex);
    state.endpoint.reset();
  }
} removeEntryAtExit;

}  // namespace

extern "C" {

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter(void) { return &center().handle; }

void CFNotificationCenterAddObserver(CFNotificationCenterRef notifyCenter, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name, const void*,
                                     CFNotificationSuspensionBehavior) {
  if (!notifyCenter || !callback || !name) return;
  Center& state = center();
  std::uint64_t key = notify::keyOf(name->utf8());
  // Observed names are the program's own choice, kept for the callbacks.
  NSString* stableName = NSString::constant(name->utf8());
  std::lock_guard lock(state.mutex);
  for (auto& observation : state.observations)
    if (observation.observer == observer && observation.callback == callback && observation.key == key) return;
  state.observations.push_back({state.nextId++, observer, callback, stableName, key});
  if (!attach(state))
    std::fprintf(stderr, "CFNotificationCenter: cannot register for %s in %s\n", name->utf8().c_str(),
                 notify::registryDirectory().c_str());
  else if (!state.endpoint->watch(key))
    std::fprintf(stderr, "CFNotificationCenter: too many names observed to add %s\n", name->utf8().c_str());
}

void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef notifyCenter, const void* observer) {
  if (!notifyCenter) return;
  Center& state = center();
  std::unique_lock lock(state.mutex);
  std::vector<std::uint64_t> dropped;
  std::erase_if(state.observations, [&](const Observation& observation) {
    if (observation.observer != observer) return false;
    dropped.push_back(observation.key);
    return true;
  });
  for (std::uint64_t key : dropped) {
    bool stillWanted = false;
    for (auto& observation : state.observations) stillWanted = stillWanted || observation.key == key;
    if (!stillWanted && state.endpoint) state.endpoint->unwatch(key);
  }
  // After this returns the caller may free the observer, so its running callback must have returned.
  if (std::this_thread::get_id() != state.deliveryThread)
    state.callbackFinished.wait(lock, [&] { return !state.running || *state.running != observer; });
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef notifyCenter, CFStringRef name, const void*,
                                          CFDictionaryRef, Boolean) {
  if (!notifyCenter || !name) return;
  Center& state = center();
  std::string token;
  {
    std::lock_guard lock(state.mutex);
    token = state.token;
  }
  notify::post(notify::keyOf(name->utf8()), token);
}

}  // extern "C"
