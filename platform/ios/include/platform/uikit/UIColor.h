#pragma once

#include "platform/coregraphics/CGGeometry.h"
#include "platform/objc/NSObject.h"

typedef struct CGColor* CGColorRef;

class UIColor : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("UIColor"); }
  static Retained<UIColor> colorWithRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    return objc::retain(
        objc::sendMessage<UIColor*>(class_(), ORVANE_SEL("colorWithRed:green:blue:alpha:"), red, green, blue, alpha));
  }
  static UIColor* whiteColor() { return objc::sendMessage<UIColor*>(class_(), ORVANE_SEL("whiteColor")); }
  static UIColor* blackColor() { return objc::sendMessage<UIColor*>(class_(), ORVANE_SEL("blackColor")); }
  static UIColor* clearColor() { return objc::sendMessage<UIColor*>(class_(), ORVANE_SEL("clearColor")); }
  static UIColor* grayColor() { return objc::sendMessage<UIColor*>(class_(), ORVANE_SEL("grayColor")); }
  static UIColor* darkGrayColor() { return objc::sendMessage<UIColor*>(class_(), ORVANE_SEL("darkGrayColor")); }

  CGColorRef CGColor() const { return objc::sendMessage<CGColorRef>(this, ORVANE_SEL("CGColor")); }
  bool isEqualToColor(const UIColor* other) const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("isEqual:"), other); }
  /// The device's ready-made colours name themselves; nothing to do here.
  void setName(const char*) {}
};
