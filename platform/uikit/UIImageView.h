#pragma once

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

class UIImageView : public UIView {
 public:
  static Class class_();
  /// A view the size of the image (zero without one).
  static Retained<UIImageView> imageViewWithImage(UIImage* image);
  UIImageView* initWithImage(UIImage* image);

  UIImage* image() const { return image_.get(); }
  CGSize intrinsicContentSize() const override;
  Properties inspectedProperties() const override;

 private:
  Retained<UIImage> image_;
};
