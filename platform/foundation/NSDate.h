#pragma once

#include "platform/objc/NSObject.h"

class NSDate : public NSObject {
 public:
  static Class class_();
  static Retained<NSDate> date();
  static Retained<NSDate> dateWithTimeIntervalSinceReferenceDate(double seconds);

  /// Seconds since 2001-01-01 00:00:00 UTC.
  double timeIntervalSinceReferenceDate() const { return seconds_; }

  std::string description() const override;

 private:
  double seconds_ = 0;
};
