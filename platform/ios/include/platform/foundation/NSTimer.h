#pragma once

#include "platform/objc/NSObject.h"

class NSTimer : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSTimer"); }
  /// A timer on the current run loop, which owns it.
  static NSTimer* scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(double interval, NSObject* target,
                                                                                  SEL selector, NSObject* userInfo,
                                                                                  bool repeats) {
    return objc::sendMessage<NSTimer*>(class_(),
                                       ORVANE_SEL("scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:"),
                                       interval, target, selector, userInfo, BOOL(repeats));
  }
  void invalidate() { objc::sendMessage<void>(this, ORVANE_SEL("invalidate")); }
};
