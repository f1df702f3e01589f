#pragma once

#include <string>
#include <string_view>

#include "platform/objc/NSObject.h"

class NSString;

class NSData : public NSObject {
 public:
  static Class class_();
  static Retained<NSData> dataWithBytes(std::string_view bytes);
  /// Files larger than this are not read: no caller of ours needs more.
  static constexpr std::size_t maxFileBytes = 64u << 20;
  /// The whole regular file at a device path, or nil if it cannot be read, is
  /// no regular file or is larger than maxFileBytes. Never waits on a FIFO.
  static Retained<NSData> dataWithContentsOfFile(const NSString* path);

  const std::string& bytes() const { return bytes_; }
  std::size_t length() const { return bytes_.size(); }

  std::string description() const override;

 private:
  std::string bytes_;
};
