#pragma once

#include "platform/foundation/Foundation.h"
#include "platform/uikit/UIKit.h"

/// The branded block atop the root page: the title, a subtitle, and one line
/// drawn at random from nine, stacked and centred by constraints.
class QMOrvaneCustomHeaderView : public UIView {
 public:
  static Class class_();

  QMOrvaneCustomHeaderView* init();
  /// The nine candidate lines, a new array on every read.
  NSArray* randomTexts();

  // Not owning: the view's subviews keep the labels alive.
  UILabel* headerLabel() const { return headerLabel_; }
  void setHeaderLabel(UILabel* label) { headerLabel_ = label; }
  UILabel* subHeaderLabel() const { return subHeaderLabel_; }
  void setSubHeaderLabel(UILabel* label) { subHeaderLabel_ = label; }
  UILabel* randomLabel() const { return randomLabel_; }
  void setRandomLabel(UILabel* label) { randomLabel_ = label; }

 private:
  UILabel* headerLabel_ = nullptr;
  UILabel* subHeaderLabel_ = nullptr;
  UILabel* randomLabel_ = nullptr;
};

namespace orvane {
/// Whether the current device says it is a pad; a device that cannot say is not.
bool deviceIsPad();
}  // namespace orvane
