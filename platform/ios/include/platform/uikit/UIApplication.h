#pragma once

#include "platform/objc/NSObject.h"
#include "platform/uikit/UIKitTypes.h"

class UIApplication : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("UIApplication"); }
  static UIApplication* sharedApplication() {
    return objc::sendMessage<UIApplication*>(class_(), ORVANE_SEL("sharedApplication"));
  }
  UIStatusBarStyle statusBarStyle() const { return objc::sendMessage<UIStatusBarStyle>(this, ORVANE_SEL("statusBarStyle")); }
  void setStatusBarStyle(UIStatusBarStyle style) {
    objc::sendMessage<void>(this, ORVANE_SEL("setStatusBarStyle:"), style);
  }
};
