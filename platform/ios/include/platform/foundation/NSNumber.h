#pragma once

#include "platform/objc/NSObject.h"

/// A Boolean, integer or real number.
class NSNumber : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSNumber"); }
  static Retained<NSNumber> numberWithBool(bool value) {
    return objc::retain(
        objc::sendMessage<NSNumber*>(class_(), ORVANE_SEL("numberWithBool:"), static_cast<BOOL>(value)));
  }
  static Retained<NSNumber> numberWithInteger(long long value) {
    return objc::retain(objc::sendMessage<NSNumber*>(class_(), ORVANE_SEL("numberWithLongLong:"), value));
  }
  static Retained<NSNumber> numberWithDouble(double value) {
    return objc::retain(objc::sendMessage<NSNumber*>(class_(), ORVANE_SEL("numberWithDouble:"), value));
  }

  bool boolValue() const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("boolValue")); }
  long long integerValue() const { return objc::sendMessage<long long>(this, ORVANE_SEL("longLongValue")); }
  double doubleValue() const { return objc::sendMessage<double>(this, ORVANE_SEL("doubleValue")); }
  bool isEqualToNumber(const NSNumber* other) const {
    return objc::sendMessage<BOOL>(this, ORVANE_SEL("isEqualToNumber:"), other);
  }
};
