#include "platform/foundation/NSTimer.h"

#include "platform/objc/Methods.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <string_view>
#include <thread>
#include <utility>

namespace foundation::clock {
namespace {
std::atomic<bool> testing{false};
std::atomic<double> testTime{0};
}  // namespace

double now() {
  if (testing.load()) return testTime.load();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void useTestClock() { testing.store(true); }

void advance(double seconds) {
  double target = testTime.load() + seconds;
  // Timers fire one time after another, so what one schedules can fire within the same advance.
  for (;;) {
    double earliest = NSRunLoop::currentRunLoop()->earliestFireDate();
    if (earliest > target) {
      testTime.store(target);
      return;
    }
    testTime.store(std::max(testTime.load(), earliest));
    NSRunLoop::currentRunLoop()->fireDueTimers();
  }
}

}  // namespace foundation::clock

Class NSTimer::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSTimer>("NSTimer", NSObject::class_());
    objc::addClassFunction(registered, "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:",
                           +[](Class, SEL, double interval, id target, SEL selector, id userInfo, BOOL repeats) {
                             return scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(
                                 interval, objc_cast<NSObject>(target), selector, objc_cast<NSObject>(userInfo),
                                 repeats);
                           });
    objc::addFunction(registered, "invalidate", +[](NSTimer* self, SEL) { self->invalidate(); });
    return registered;
  }();
  return cls;
}

NSTimer* NSTimer::scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(double interval, NSObject* target,
                                                                                  SEL selector, NSObject* userInfo,
                                                                                  bool repeats) {
  auto timer = objc::alloc<NSTimer>();
  timer->interval_ = interval;
  timer->fireDate_ = foundation::clock::now() + interval;
  timer->target_ = objc::retain(target);
  timer->selector_ = selector;
  timer->userInfo_ = objc::retain(userInfo);
  timer->repeats_ = repeats;
  NSRunLoop::currentRunLoop()->addTimer(timer.get());
  return timer.get();
}

void NSTimer::invalidate() {
  valid_ = false;
  target_ = nullptr;
  userInfo_ = nullptr;
  // The loop's reference may be the last one.
  if (NSRunLoop* loop = std::exchange(loop_, nullptr)) {
    Retained<NSTimer> keep = objc::retain(this);
    loop->removeTimer(this);
  }
}

void NSTimer::fire() {
  if (!valid_ || !target_ || !selector_) return;
  Retained<NSTimer> keep = objc::retain(this);
  Retained<NSObject> target = target_;
  if (std::string_view(sel_getName(selector_)).ends_with(':')) objc_msgSend(target.get(), selector_, static_cast<id>(this));
  else objc_msgSend(target.get(), selector_);
  if (!repeats_) invalidate();
}

Class NSRunLoop::class_() {
  static Class cls = objc_registerCppClass<NSRunLoop>("NSRunLoop", NSObject::class_());
  return cls;
}

NSRunLoop* NSRunLoop::currentRunLoop() {
  thread_local NSRunLoop* loop = static_cast<NSRunLoop*>(objc_makeImmortal(class_createInstance(class_(), 0)));
  return loop;
}

void NSRunLoop::addTimer(NSTimer* timer) {
  if (!timer || !timer->isValid()) return;
  timer->loop_ = this;
  timers_.push_back(Retained<NSTimer>::retain(timer));
}

void NSRunLoop::removeTimer(NSTimer* timer) {
  auto found = std::find_if(timers_.begin(), timers_.end(), [timer](auto& held) { return held.get() == timer; });
  if (found != timers_.end()) timers_.erase(found);
}

double NSRunLoop::earliestFireDate() const {
  double earliest = std::numeric_limits<double>::infinity();
  for (auto& timer : timers_)
    if (timer->isValid()) earliest = std::min(earliest, timer->fireDate());
  return earliest;
}

int NSRunLoop::fireDueTimers() {
  int fired = 0;
  double now = foundation::clock::now();
  for (;;) {
    auto due = std::min_element(timers_.begin(), timers_.end(), [](auto& a, auto& b) { return a->fireDate() < b->fireDate(); });
    if (due == timers_.end() || (*due)->fireDate() > now) break;
    Retained<NSTimer> timer = *due;
    if (timer->isValid()) {
      timer->fire();
      ++fired;
    }
    if (timer->isValid() && timer->repeats_) timer->fireDate_ += std::max(timer->interval_, 1e-3);
    else removeTimer(timer.get());
  }
  return fired;
}

void NSRunLoop::runForSeconds(double seconds) {
  double end = foundation::clock::now() + seconds;
  while (foundation::clock::now() < end) {
    fireDueTimers();
    double wait = std::min(end, earliestFireDate()) - foundation::clock::now();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(std::min(wait, 0.05)));
  }
  fireDueTimers();
}

namespace {
// Registered as the library loads: code that names the class finds it.
[[maybe_unused]] const Class registered[] = {NSTimer::class_(), NSRunLoop::class_()};
}
