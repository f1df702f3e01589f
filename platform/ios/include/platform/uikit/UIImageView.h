#pragma once

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

class UIImageView : public UIView {
 public:
  static Class class_() { return ORVANE_CLASS("UIImageView"); }
  static Retained<UIImageView> imageViewWithImage(UIImage* image) {
    return objc::allocInit<UIImageView>(class_(), ORVANE_SEL("initWithImage:"), image);
  }
  UIImage* image() const { return objc::sendMessage<UIImage*>(this, ORVANE_SEL("image")); }
};
