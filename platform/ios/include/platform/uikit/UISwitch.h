#pragma once

#include "platform/uikit/UIView.h"

/// The appearance proxy of switches; it answers the setters of UISwitch.
class UISwitchAppearance : public NSObject {
 public:
  void setOnTintColor(UIColor* color) { objc::sendMessage<void>(this, ORVANE_SEL("setOnTintColor:"), color); }
};

class UISwitch : public UIView {
 public:
  static Class class_() { return ORVANE_CLASS("UISwitch"); }
  /// `+appearanceWhenContainedIn:` is variadic: the nil-terminated list of container classes.
  static UISwitchAppearance* appearanceWhenContainedIn(Class container) {
    return objc::sendVariadic<UISwitchAppearance*, Class>(class_(), ORVANE_SEL("appearanceWhenContainedIn:"), container,
                                                          static_cast<Class>(nullptr));
  }
  bool isOn() const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("isOn")); }
  void setOn(bool on) { objc::sendMessage<void>(this, ORVANE_SEL("setOn:"), BOOL(on)); }
  void setOnTintColor(UIColor* color) { objc::sendMessage<void>(this, ORVANE_SEL("setOnTintColor:"), color); }
  UIColor* onTintColor() const { return objc::sendMessage<UIColor*>(this, ORVANE_SEL("onTintColor")); }
};
