#include "platform/foundation/NSDate.h"

#include <fmt/format.h>

#include <chrono>
#include <cmath>
#include <ctime>

namespace {
constexpr double referenceDateUnixSeconds = 978307200.0;
}

Class NSDate::class_() {
  static Class cls = objc_registerCppClass<NSDate>("NSDate", NSObject::class_());
  return cls;
}

Retained<NSDate> NSDate::date() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  return dateWithTimeIntervalSinceReferenceDate(std::chrono::duration<double>(now).count() - referenceDateUnixSeconds);
}

Retained<NSDate> NSDate::dateWithTimeIntervalSinceReferenceDate(double seconds) {
  auto date = objc::alloc<NSDate>();
  date->seconds_ = seconds;
  return date;
}

std::string NSDate::description() const {
  std::time_t unix = static_cast<std::time_t>(std::floor(seconds_ + referenceDateUnixSeconds));
  std::tm parts {};
  gmtime_r(&unix, &parts);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02} +0000", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour, parts.tm_min, parts.tm_sec);
}

namespace {
[[maybe_unused]] const Class registered = NSDate::class_();
}
