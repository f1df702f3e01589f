#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
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

void deliverPending() {
  Center& state = center();
  std::vector<Observation>& batch = state.batch;
  batch.clear();
  {
    std::lock_guard lock(state.mutex);
    if (!state.endpoint) return;
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
    observation.callback(&state.handle, const_cast<void*>(observation.observer), observation.name, nullptr, nullptr);
    {
      std::lock_guard lock(state.mutex);
      state.running.reset();
    }
    state.callbackFinished.notify_all();
  }
}

void deliveryLoop(int doorbell) {
  char bytes[64];
  for (;;) {
    if (::recv(doorbell, bytes, sizeof bytes, 0) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    // Every mark behind a wake-up taken here was set before its ring, so one scan serves them all.
    while (::recv(doorbell, bytes, sizeof bytes, MSG_DONTWAIT) >= 0) {
    }
    deliverPending();
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
    if (state.doorbell < 0) return false;
  }
  auto endpoint = notify::Endpoint::create(directory, state.token);
  if (!endpoint) return false;
  for (auto& observation : state.observations) endpoint->watch(observation.key);
  if (state.endpoint)
    for (std::uint64_t key : state.endpoint->takePending()) endpoint->mark(key);
  state.endpoint = std::move(endpoint);
  if (!state.delivering) {
    std::thread thread(deliveryLoop, state.doorbell);
    state.deliveryThread = thread.get_id();
    thread.detach();
    state.delivering = true;
  }
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
  state.doorbell = -1;
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
  NSString* stableName = NSString::intern(name->utf8());
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
  notify::post(notify::keyOf(name->utf8()));
}

}  // extern "C"
