#pragma once

#include "platform/objc/NSObject.h"
#include "platform/uikit/UIKitTypes.h"

class UIDevice : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("UIDevice"); }
  static NSObject* currentDevice() { return objc::sendMessage<NSObject*>(class_(), ORVANE_SEL("currentDevice")); }
  UIUserInterfaceIdiom userInterfaceIdiom() {
    return objc::sendMessage<UIUserInterfaceIdiom>(this, ORVANE_SEL("userInterfaceIdiom"));
  }
};
