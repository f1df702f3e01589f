#pragma once

#include "platform/foundation/Foundation.h"
#include "platform/objc/Methods.h"
#include "platform/uikit/UIKit.h"

namespace orvane {
// Instance variables that do not own: the view's subviews keep the labels alive.
inline constexpr objc::InstanceVariable<UILabel*> headerLabelVariable{"_headerLabel"};
inline constexpr objc::InstanceVariable<UILabel*> subHeaderLabelVariable{"_subHeaderLabel"};
inline constexpr objc::InstanceVariable<UILabel*> randomLabelVariable{"_randomLabel"};
}  // namespace orvane

/// The branded block atop the root page: the title, a subtitle, and one line
/// drawn at random from nine, stacked and centred by constraints.
class QMOrvaneCustomHeaderView : public UIView {
 public:
  static Class class_();

  QMOrvaneCustomHeaderView* init();
  /// The nine candidate lines, a new array on every read.
  NSArray* randomTexts();

  UILabel* headerLabel() { return orvane::headerLabelVariable.of(this); }
  void setHeaderLabel(UILabel* label) { orvane::headerLabelVariable.of(this) = label; }
  UILabel* subHeaderLabel() { return orvane::subHeaderLabelVariable.of(this); }
  void setSubHeaderLabel(UILabel* label) { orvane::subHeaderLabelVariable.of(this) = label; }
  UILabel* randomLabel() { return orvane::randomLabelVariable.of(this); }
  void setRandomLabel(UILabel* label) { orvane::randomLabelVariable.of(this) = label; }
};

namespace orvane {
/// Whether the current device says it is a pad; a device that cannot say is not.
bool deviceIsPad();
}  // namespace orvane
