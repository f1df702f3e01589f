#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/dispatch/dispatch.h"

namespace {
constexpr long running = 1;
constexpr long done = ~0L;

std::mutex& onceMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}
std::condition_variable& onceFinished() {
  static std::condition_variable* finished = new std::condition_variable;
  return *finished;
}
}  // namespace

extern "C" void dispatch_once_f(dispatch_once_t* predicate, void* context, void (*function)(void*)) {
  std::atomic_ref<long> state(*predicate);
  if (state.load(std::memory_order_acquire) == done) return;
  long expected = 0;
  if (state.compare_exchange_strong(expected, running, std::memory_order_acq_rel)) {
    function(context);
    {
      std::lock_guard lock(onceMutex());
      state.store(done, std::memory_order_release);
    }
    onceFinished().notify_all();
    return;
  }
  std::unique_lock lock(onceMutex());
  onceFinished().wait(lock, [&] { return state.load(std::memory_order_acquire) == done; });
}
