#include "platform/uikit/UIImageView.h"

Class UIImageView::class_() {
  static Class cls = objc_registerCppClass<UIImageView>("UIImageView", UIView::class_());
  return cls;
}

Retained<UIImageView> UIImageView::imageViewWithImage(UIImage* image) {
  auto view = objc::alloc<UIImageView>();
  view->image_ = objc::retain(image);
  CGSize size = image ? image->size() : CGSize{0, 0};
  view->setFrame(CGRectMake(0, 0, size.width, size.height));
  return view;
}

CGSize UIImageView::intrinsicContentSize() const { return image_ ? image_->size() : CGSize{-1, -1}; }

UIImageView::Properties UIImageView::inspectedProperties() const {
  Properties properties = UIView::inspectedProperties();
  properties.emplace_back("image", image_ ? image_->description() : "(none)");
  return properties;
}

namespace {
[[maybe_unused]] const Class registered = UIImageView::class_();
}
