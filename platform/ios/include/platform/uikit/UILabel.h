#pragma once

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIKitTypes.h"
#include "platform/uikit/UIView.h"

class UILabel : public UIView {
 public:
  static Class class_() { return ORVANE_CLASS("UILabel"); }
  static Retained<UILabel> label() { return objc::allocInit<UILabel>(class_(), ORVANE_SEL("init")); }

  NSString* text() const { return objc::sendMessage<NSString*>(this, ORVANE_SEL("text")); }
  void setText(NSString* text) { objc::sendMessage<void>(this, ORVANE_SEL("setText:"), text); }
  UIColor* textColor() const { return objc::sendMessage<UIColor*>(this, ORVANE_SEL("textColor")); }
  void setTextColor(UIColor* color) { objc::sendMessage<void>(this, ORVANE_SEL("setTextColor:"), color); }
  UIFont* font() const { return objc::sendMessage<UIFont*>(this, ORVANE_SEL("font")); }
  void setFont(UIFont* font) { objc::sendMessage<void>(this, ORVANE_SEL("setFont:"), font); }
  long numberOfLines() const { return objc::sendMessage<long>(this, ORVANE_SEL("numberOfLines")); }
  void setNumberOfLines(long lines) { objc::sendMessage<void>(this, ORVANE_SEL("setNumberOfLines:"), lines); }
  NSTextAlignment textAlignment() const { return objc::sendMessage<NSTextAlignment>(this, ORVANE_SEL("textAlignment")); }
  void setTextAlignment(NSTextAlignment alignment) {
    objc::sendMessage<void>(this, ORVANE_SEL("setTextAlignment:"), alignment);
  }
};
