#pragma once

#include <string_view>

#include "platform/objc/NSObject.h"

class NSString;

class NSData : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSData"); }
  static Retained<NSData> dataWithBytes(std::string_view bytes) {
    return objc::retain(objc::sendMessage<NSData*>(class_(), ORVANE_SEL("dataWithBytes:length:"),
                                                   static_cast<const void*>(bytes.data()),
                                                   static_cast<unsigned long>(bytes.size())));
  }
  /// The file's bytes, or nil if it cannot be read.
  static Retained<NSData> dataWithContentsOfFile(const NSString* path) {
    return objc::retain(objc::sendMessage<NSData*>(class_(), ORVANE_SEL("dataWithContentsOfFile:"), path));
  }
  unsigned long length() const { return objc::sendMessage<unsigned long>(this, ORVANE_SEL("length")); }
};
