#pragma once

#include "platform/foundation/Foundation.h"
#include "platform/objc/Methods.h"
#include "platform/uikit/UIKit.h"

/// The branded block atop the root page: the title, a subtitle, and one line
/// drawn at random from nine, stacked and centred by constraints.
class QMOrvaneCustomHeaderView : public UIView {
 public:
  static Class class_();

  QMOrvaneCustomHeaderView* init();
  /// The nine candidate lines, a new array on every read.
  NSArray* randomTexts();

  // Instance variables that do not own: the view's subviews keep the labels alive.
  UILabel* headerLabel() { return objc::instanceVariable<UILabel*>(this, "_headerLabel"); }
  void setHeaderLabel(UILabel* label) { objc::instanceVariable<UILabel*>(this, "_headerLabel") = label; }
  UILabel* subHeaderLabel() { return objc::instanceVariable<UILabel*>(this, "_subHeaderLabel"); }
  void setSubHeaderLabel(UILabel* label) { objc::instanceVariable<UILabel*>(this, "_subHeaderLabel") = label; }
  UILabel* randomLabel() { return objc::instanceVariable<UILabel*>(this, "_randomLabel"); }
  void setRandomLabel(UILabel* label) { objc::instanceVariable<UILabel*>(this, "_randomLabel") = label; }
};

namespace orvane {
/// Whether the current device says it is a pad; a device that cannot say is not.
bool deviceIsPad();
}  // namespace orvane
