#pragma once

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIKitTypes.h"
#include "platform/uikit/UIView.h"

class UIColor;
class UIFont;

class UILabel : public UIView {
 public:
  static Class class_();
  static Retained<UILabel> label();

  NSString* text() const { return text_.get(); }
  void setText(NSString* text) { text_ = objc::retain(text); }
  UIColor* textColor() const { return textColor_.get(); }
  void setTextColor(UIColor* color);
  UIFont* font() const { return font_.get(); }
  void setFont(UIFont* font);
  long numberOfLines() const { return numberOfLines_; }
  void setNumberOfLines(long lines) { numberOfLines_ = lines; }
  NSTextAlignment textAlignment() const { return textAlignment_; }
  void setTextAlignment(NSTextAlignment alignment) { textAlignment_ = alignment; }

  /// One line of the text set in the label's font.
  CGSize intrinsicContentSize() const override;

  Properties inspectedProperties() const override;

 private:
  Retained<NSString> text_;
  Retained<UIColor> textColor_;
  Retained<UIFont> font_;
  long numberOfLines_ = 1;
  NSTextAlignment textAlignment_ = NSTextAlignmentLeft;
};
