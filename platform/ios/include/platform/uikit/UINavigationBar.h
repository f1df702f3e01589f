#pragma once

#include "platform/foundation/NSDictionary.h"
#include "platform/uikit/UIView.h"

class UINavigationBar : public UIView {
 public:
  static Class class_() { return ORVANE_CLASS("UINavigationBar"); }
  UIColor* tintColor() const { return objc::sendMessage<UIColor*>(this, ORVANE_SEL("tintColor")); }
  void setTintColor(UIColor* color) { objc::sendMessage<void>(this, ORVANE_SEL("setTintColor:"), color); }
  /// iOS 7 and later.
  UIColor* barTintColor() const { return objc::sendMessage<UIColor*>(this, ORVANE_SEL("barTintColor")); }
  void setBarTintColor(UIColor* color) { objc::sendMessage<void>(this, ORVANE_SEL("setBarTintColor:"), color); }
  NSDictionary* titleTextAttributes() const {
    return objc::sendMessage<NSDictionary*>(this, ORVANE_SEL("titleTextAttributes"));
  }
  void setTitleTextAttributes(NSDictionary* attributes) {
    objc::sendMessage<void>(this, ORVANE_SEL("setTitleTextAttributes:"), attributes);
  }
};

/// UIKit's constant; exported by UIKit since iOS 6.
extern "C" NSString* const NSForegroundColorAttributeName;

class UINavigationItem : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("UINavigationItem"); }
  NSString* title() const { return objc::sendMessage<NSString*>(this, ORVANE_SEL("title")); }
  void setTitle(NSString* title) { objc::sendMessage<void>(this, ORVANE_SEL("setTitle:"), title); }
  UIView* titleView() const { return objc::sendMessage<UIView*>(this, ORVANE_SEL("titleView")); }
  void setTitleView(UIView* view) { objc::sendMessage<void>(this, ORVANE_SEL("setTitleView:"), view); }
  NSObject* rightBarButtonItem() const { return objc::sendMessage<NSObject*>(this, ORVANE_SEL("rightBarButtonItem")); }
  void setRightBarButtonItem(NSObject* item) {
    objc::sendMessage<void>(this, ORVANE_SEL("setRightBarButtonItem:"), item);
  }
};
