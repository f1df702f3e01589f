#include "platform/foundation/NSURL.h"

#include "platform/objc/Methods.h"

#include <fmt/format.h>

#include "platform/foundation/NSString.h"

Class NSURL::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSURL>("NSURL", NSObject::class_());
    objc::addFunction(registered, "initFileURLWithPath:", +[](NSURL* self, SEL, NSString* path) -> id {
      if (!path) {
        objc_release(self);
        throw NSInvalidArgumentException("-[NSURL initFileURLWithPath:]: nil string parameter");
      }
      self->path_ = path->utf8();
      return self;
    });
    objc::addFunction(registered, "isFileURL", +[](NSURL* self, SEL) -> BOOL { return self->isFileURL(); });
    objc::addFunction(registered, "path",
                      +[](NSURL* self, SEL) { return NSString::stringWithUTF8String(self->path()).autorelease(); });
    objc::addFunction(registered, "absoluteString", +[](NSURL* self, SEL) {
      return NSString::stringWithUTF8String(self->absoluteString()).autorelease();
    });
    return registered;
  }();
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
