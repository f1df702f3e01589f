#include "platform/foundation/NSURL.h"

#include <fmt/format.h>

#include "platform/foundation/NSString.h"

Class NSURL::class_() {
  static Class cls = objc_registerCppClass<NSURL>("NSURL", NSObject::class_());
  return cls;
}

Retained<NSURL> NSURL::fileURLWithPath(const NSString* path) {
  if (!path) throw NSInvalidArgumentException("+[NSURL fileURLWithPath:]: nil string parameter");
  auto url = objc::alloc<NSURL>();
  url->path_ = path->utf8();
  return url;
}

std::string NSURL::absoluteString() const {
  std::string escaped = "file://";
  for (unsigned char c : path_) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 std::string_view("-._~/!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
    escaped += plain ? std::string(1, static_cast<char>(c)) : fmt::format("%{:02X}", c);
  }
  return escaped;
}

namespace {
[[maybe_unused]] const Class registered = NSURL::class_();
}
