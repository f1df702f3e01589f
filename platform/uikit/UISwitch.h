#pragma once

#include <map>
#include <vector>

#include "platform/uikit/UIView.h"

class UIColor;
class UIViewController;

/// The settings a switch takes from its appearance proxy when it is shown
/// inside a view controller of the proxy's container class.
class UISwitchAppearance : public NSObject {
 public:
  static Class class_();
  void setOnTintColor(UIColor* color);
  UIColor* onTintColor() const { return onTintColor_.get(); }

 private:
  Retained<UIColor> onTintColor_;
};

class UISwitch : public UIView {
 public:
  static Class class_();
  static Retained<UISwitch> switchControl();
  /// The proxy for switches contained in view controllers of `container`.
  static UISwitchAppearance* appearanceWhenContainedIn(Class container);
  /// The proxy for switches inside a controller of `containers[0]`, itself
  /// inside one of `containers[1]` (its navigation or presenting controller, or
  /// further out), and so on. One proxy per list.
  static UISwitchAppearance* appearanceWhenContainedIn(const std::vector<Class>& containers);

  bool isOn() const { return on_; }
  void setOn(bool on) { on_ = on; }
  void setOnTintColor(UIColor* color);
  /// The switch's own on-tint, else the one its appearance gives it inside
  /// the view controller that shows it.
  UIColor* onTintColor() const;
  /// The view controller the switch is shown in, for its appearance.
  void setContainer(UIViewController* container) { container_ = container; }

  Properties inspectedProperties() const override;

 private:
  bool on_ = false;
  Retained<UIColor> onTintColor_;
  UIViewController* container_ = nullptr;
};
