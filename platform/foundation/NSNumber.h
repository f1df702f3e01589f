#pragma once

#include "platform/objc/NSObject.h"

/// A Boolean, integer or real number.
class NSNumber : public NSObject {
 public:
  enum class Kind { Boolean, Integer, Real };

  static Class class_();
  static Retained<NSNumber> numberWithBool(bool value);
  static Retained<NSNumber> numberWithInteger(long long value);
  static Retained<NSNumber> numberWithDouble(double value);
  static Retained<NSNumber> numberWithUnsignedLongLong(unsigned long long value);

  Kind kind() const { return kind_; }
  bool boolValue() const;
  long long integerValue() const;
  unsigned long long unsignedLongLongValue() const;
  double doubleValue() const;
  /// An integer above the signed 64-bit range, kept as unsigned.
  bool isUnsigned() const { return unsigned_; }
  bool isEqualToNumber(const NSNumber* other) const;

  std::string description() const override;

 private:
  Kind kind_ = Kind::Integer;
  long long integer_ = 0;
  bool unsigned_ = false;
  double real_ = 0;
};
