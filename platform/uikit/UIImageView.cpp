#include "platform/uikit/UIImageView.h"

#include "platform/objc/Methods.h"

Class UIImageView::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIImageView>("UIImageView", UIView::class_());
    objc::addMethod<&UIImageView::initWithImage>(registered, "initWithImage:");
    objc::addMethod<&UIImageView::image>(registered, "image");
    return registered;
  }();
  return cls;
}

Retained<UIImageView> UIImageView::imageViewWithImage(UIImage* image) {
  auto view = objc::alloc<UIImageView>();
  view->initWithImage(image);
  return view;
}

UIImageView* UIImageView::initWithImage(UIImage* image) {
  image_ = objc::retain(image);
  CGSize size = image ? image->size() : CGSize{0, 0};
  initWithFrame(CGRectMake(0, 0, size.width, size.height));
  return this;
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
