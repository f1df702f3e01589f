#pragma once

#include "platform/foundation/NSString.h"
#include "platform/objc/NSObject.h"

class NSURL : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSURL"); }
  /// A file URL for an absolute path, taken unaltered.
  static Retained<NSURL> fileURLWithPath(const NSString* path) {
    return objc::allocInit<NSURL>(class_(), ORVANE_SEL("initFileURLWithPath:"), path);
  }

  bool isFileURL() const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("isFileURL")); }
  Retained<NSString> path() const { return objc::retain(objc::sendMessage<NSString*>(this, ORVANE_SEL("path"))); }
  Retained<NSString> absoluteString() const {
    return objc::retain(objc::sendMessage<NSString*>(this, ORVANE_SEL("absoluteString")));
  }
};
