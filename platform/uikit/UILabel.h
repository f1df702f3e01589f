#pragma once

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIView.h"

class UIColor;

class UILabel : public UIView {
 public:
  static Class class_();
  static Retained<UILabel> label();

  NSString* text() const { return text_.get(); }
  void setText(NSString* text) { text_ = text; }
  UIColor* textColor() const { return textColor_.get(); }
  void setTextColor(UIColor* color);

  Properties inspectedProperties() const override;

 private:
  Retained<NSString> text_;
  Retained<UIColor> textColor_;
};
