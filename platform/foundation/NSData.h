#pragma once

#include <string>
#include <string_view>

#include "platform/objc/NSObject.h"

class NSString;

class NSData : public NSObject {
 public:
  static Class class_();
  static Retained<NSData> dataWithBytes(std::string_view bytes);
  /// The whole file at a device path, or nil if it cannot be read.
  static Retained<NSData> dataWithContentsOfFile(const NSString* path);

  const std::string& bytes() const { return bytes_; }
  std::size_t length() const { return bytes_.size(); }

  std::string description() const override;

 private:
  std::string bytes_;
};
