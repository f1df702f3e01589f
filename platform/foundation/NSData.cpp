#include "platform/foundation/NSData.h"

#include "platform/objc/Methods.h"

#include <fmt/format.h>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/foundation/NSString.h"

Class NSData::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSData>("NSData", NSObject::class_());
    objc::addClassFunction(registered, "dataWithBytes:length:",
                           +[](Class, SEL, const void* bytes, unsigned long length) {
                             if (!bytes && length)
                               throw NSInvalidArgumentException("+[NSData dataWithBytes:length:]: null bytes");
                             std::string_view copied(static_cast<const char*>(bytes), length);
                             return dataWithBytes(copied).autorelease();
                           });
    objc::addClassFunction(registered, "dataWithContentsOfFile:",
                           +[](Class, SEL, NSString* path) { return dataWithContentsOfFile(path).autorelease(); });
    objc::addFunction(registered, "length", +[](NSData* self, SEL) -> unsigned long { return self->length(); });
    return registered;
  }();
  return cls;
}

Retained<NSData> NSData::dataWithBytes(std::string_view bytes) {
  auto data = objc::alloc<NSData>();
  data->bytes_ = bytes;
  return data;
}

Retained<NSData> NSData::dataWithContentsOfFile(const NSString* path) {
  if (!path) return nullptr;
  auto contents = files::readDeviceFile(path->utf8(), maxFileBytes);
  if (!contents) return nullptr;
  return dataWithBytes(*contents);
}

std::string NSData::description() const {
  std::string hex;
  std::size_t shown = std::min<std::size_t>(bytes_.size(), 24);
  for (std::size_t i = 0; i < shown; ++i) hex += fmt::format("{:02x}", static_cast<unsigned char>(bytes_[i]));
  if (shown < bytes_.size()) hex += " ... ";
  return fmt::format("{{length = {}, bytes = 0x{}}}", bytes_.size(), hex);
}

namespace {
[[maybe_unused]] const Class registered = NSData::class_();
}
