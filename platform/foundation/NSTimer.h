#pragma once

#include <functional>
#include <vector>

#include "platform/objc/NSObject.h"

/// The time run loops and animations go by: the real monotonic clock in the
/// hosts, a clock that tests drive (`useTestClock`, `advance`).
namespace foundation::clock {
double now();
void useTestClock();
/// Moves the test clock on, firing each timer of this thread's run loop as its time comes.
void advance(double seconds);
}  // namespace foundation::clock

class NSRunLoop;

class NSTimer : public NSObject {
 public:
  static Class class_();
  /// A timer on the current thread's run loop that sends `selector` to the
  /// target (owned until the timer is done) after `interval` seconds.
  static NSTimer* scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(double interval, NSObject* target,
                                                                                  SEL selector, NSObject* userInfo,
                                                                                  bool repeats);
  void invalidate();
  bool isValid() const { return valid_; }
  double fireDate() const { return fireDate_; }
  void fire();

 private:
  friend class NSRunLoop;
  double interval_ = 0, fireDate_ = 0;
  Retained<NSObject> target_, userInfo_;
  SEL selector_ = nullptr;
  bool repeats_ = false, valid_ = true;
  /// The run loop that holds the timer until it is invalidated.
  NSRunLoop* loop_ = nullptr;
};

/// A thread's run loop: its timers.
class NSRunLoop : public NSObject {
 public:
  static Class class_();
  static NSRunLoop* currentRunLoop();

  void addTimer(NSTimer* timer);
  /// Lets go of the timer, if the loop holds it.
  void removeTimer(NSTimer* timer);
  /// Fires the timers whose time has come, in time order; returns how many fired.
  int fireDueTimers();
  /// Runs the loop, firing timers in real time, for `seconds`.
  void runForSeconds(double seconds);
  bool hasTimers() const { return !timers_.empty(); }
  /// When the next timer fires; infinity without timers.
  double earliestFireDate() const;

 private:
  std::vector<Retained<NSTimer>> timers_;
};
