#pragma once

#include "platform/coregraphics/CGGeometry.h"
#include "platform/foundation/NSString.h"

class UIFont : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("UIFont"); }
  static Retained<UIFont> fontWithName_size(NSString* name, CGFloat size) {
    return objc::retain(objc::sendMessage<UIFont*>(class_(), ORVANE_SEL("fontWithName:size:"), name, size));
  }
  static Retained<UIFont> systemFontOfSize(CGFloat size) {
    return objc::retain(objc::sendMessage<UIFont*>(class_(), ORVANE_SEL("systemFontOfSize:"), size));
  }

  Retained<NSString> fontName() const {
    return objc::retain(objc::sendMessage<NSString*>(this, ORVANE_SEL("fontName")));
  }
  CGFloat pointSize() const { return objc::sendMessage<CGFloat>(this, ORVANE_SEL("pointSize")); }
};
