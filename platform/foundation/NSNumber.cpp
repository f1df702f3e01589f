#include "platform/foundation/NSNumber.h"

#include "platform/objc/Methods.h"

#include <fmt/format.h>

#include <cmath>
#include <limits>

Class NSNumber::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSNumber>("NSNumber", NSObject::class_());
    objc::addClassFunction(registered, "numberWithBool:",
                           +[](Class, SEL, BOOL value) { return numberWithBool(value).autorelease(); });
    objc::addClassFunction(registered, "numberWithLongLong:",
                           +[](Class, SEL, long long value) { return numberWithInteger(value).autorelease(); });
    objc::addClassFunction(registered, "numberWithDouble:",
                           +[](Class, SEL, double value) { return numberWithDouble(value).autorelease(); });
    objc::addFunction(registered, "boolValue", +[](NSNumber* self, SEL) -> BOOL { return self->boolValue(); });
    objc::addFunction(registered, "longLongValue", +[](NSNumber* self, SEL) { return self->integerValue(); });
    objc::addFunction(registered, "doubleValue", +[](NSNumber* self, SEL) { return self->doubleValue(); });
    objc::addFunction(registered, "isEqualToNumber:",
                      +[](NSNumber* self, SEL, NSNumber* other) -> BOOL { return self->isEqualToNumber(other); });
    objc::addFunction(registered, "isEqual:", +[](NSNumber* self, SEL, id other) -> BOOL {
      return self->isEqualToNumber(objc_cast<NSNumber>(other));
    });
    return registered;
  }();
  return cls;
}

namespace {
Retained<NSNumber> makeNumber() {
  return objc::alloc<NSNumber>();
}
}  // namespace

Retained<NSNumber> NSNumber::numberWithBool(bool value) {
  auto number = makeNumber();
  number->kind_ = Kind::Boolean;
  number->integer_ = value ? 1 : 0;
  return number;
}

Retained<NSNumber> NSNumber::numberWithInteger(long long value) {
  auto number = makeNumber();
  number->kind_ = Kind::Integer;
  number->integer_ = value;
  return number;
}

Retained<NSNumber> NSNumber::numberWithDouble(double value) {
  auto number = makeNumber();
  number->kind_ = Kind::Real;
  number->real_ = value;
  return number;
}

Retained<NSNumber> NSNumber::numberWithUnsignedLongLong(unsigned long long value) {
  auto number = numberWithInteger(static_cast<long long>(value));
  number->unsigned_ = value > static_cast<unsigned long long>(std::numeric_limits<long long>::max());
  return number;
}

bool NSNumber::boolValue() const { return kind_ == Kind::Real ? real_ != 0.0 : integer_ != 0; }

namespace {
/// A real as an integer type: truncated, saturated at the type's ends, NaN as 0.
template <class Integer>
Integer saturated(double real) {
  if (std::isnan(real)) return 0;
  if (real <= static_cast<double>(std::numeric_limits<Integer>::min())) return std::numeric_limits<Integer>::min();
  if (real >= static_cast<double>(std::numeric_limits<Integer>::max())) return std::numeric_limits<Integer>::max();
  return static_cast<Integer>(real);
}
}  // namespace

long long NSNumber::integerValue() const { return kind_ == Kind::Real ? saturated<long long>(real_) : integer_; }

unsigned long long NSNumber::unsignedLongLongValue() const {
  return kind_ == Kind::Real ? saturated<unsigned long long>(real_) : static_cast<unsigned long long>(integer_);
}

double NSNumber::doubleValue() const {
  if (kind_ == Kind::Real) return real_;
  return unsigned_ ? static_cast<double>(static_cast<unsigned long long>(integer_)) : static_cast<double>(integer_);
}

bool NSNumber::isEqualToNumber(const NSNumber* other) const {
  if (!other) return false;
  if (kind_ != Kind::Real && other->kind_ != Kind::Real)
    return integer_ == other->integer_ && unsigned_ == other->unsigned_;
  return doubleValue() == other->doubleValue();
}

std::string NSNumber::description() const {
  if (unsigned_) return std::to_string(static_cast<unsigned long long>(integer_));
  if (kind_ != Kind::Real) return std::to_string(integer_);
  if (std::isfinite(real_) && real_ == std::floor(real_) && std::fabs(real_) < 1e15)
    return std::to_string(static_cast<long long>(real_));
  return fmt::format("{}", real_);
}

namespace {
[[maybe_unused]] const Class registered = NSNumber::class_();
}
