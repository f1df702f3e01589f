#pragma once

#include "platform/objc/NSObject.h"
#include "platform/uikit/UIKitTypes.h"

class UIApplication : public NSObject {
 public:
  static Class class_();
  static UIApplication* sharedApplication();

  UIStatusBarStyle statusBarStyle() const { return statusBarStyle_; }
  void setStatusBarStyle(UIStatusBarStyle style) { statusBarStyle_ = style; }

 private:
  UIStatusBarStyle statusBarStyle_ = UIStatusBarStyleDefault;
};
