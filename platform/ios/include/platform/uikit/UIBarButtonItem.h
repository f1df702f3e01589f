#pragma once

#include "platform/objc/NSObject.h"
#include "platform/uikit/UIKitTypes.h"

class UIBarButtonItem : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("UIBarButtonItem"); }
  static Retained<UIBarButtonItem> itemWithSystemItem_target_action(UIBarButtonSystemItem item, NSObject* target,
                                                                    SEL action) {
    return objc::allocInit<UIBarButtonItem>(class_(), ORVANE_SEL("initWithBarButtonSystemItem:target:action:"), item,
                                            target, action);
  }
  NSObject* target() const { return objc::sendMessage<NSObject*>(this, ORVANE_SEL("target")); }
  SEL action() const { return objc::sendMessage<SEL>(this, ORVANE_SEL("action")); }
};
