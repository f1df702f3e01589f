#pragma once

#include "platform/objc/NSObject.h"

class NSString;

class NSURL : public NSObject {
 public:
  static Class class_();
  /// A file URL for an absolute device path, taken unaltered.
  static Retained<NSURL> fileURLWithPath(const NSString* path);

  bool isFileURL() const { return true; }
  /// The device path.
  const std::string& path() const { return path_; }
  /// "file://" and the path with the characters a URL cannot hold percent-escaped.
  std::string absoluteString() const;

  std::string description() const override { return absoluteString(); }

 private:
  std::string path_;
};
