#include "platform/uikit/UIView.h"

#include <fmt/format.h>

#include <algorithm>

#include "platform/objc/Methods.h"
#include "platform/uikit/UIColor.h"

Class UIView::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIView>("UIView", NSObject::class_());
    objc::addMethod<&UIView::initWithFrame>(registered, "initWithFrame:");
    return registered;
  }();
  return cls;
}

Retained<UIView> UIView::viewWithFrame(Class cls, CGRect frame) {
  id made = class_createInstance(cls, 0);
  auto* initialised = objc_cast<UIView>(objc::send<id>(made, "initWithFrame:", frame));
  if (!initialised) objc_release(made);
  return Retained<UIView>::adopt(initialised);
}

UIView* UIView::initWithFrame(CGRect frame) {
  frame_ = frame;
  return this;
}

void UIView::setBackgroundColor(UIColor* color) { backgroundColor_ = color; }

void UIView::addSubview(UIView* view) {
  if (!view || view == this) return;
  Retained<UIView> keep = view;
  view->removeFromSuperview();
  view->superview_ = this;
  subviews_.push_back(keep);
}

void UIView::removeFromSuperview() {
  if (!superview_) return;
  Retained<UIView> keep = this;  // the superview may hold the last reference
  UIView* parent = std::exchange(superview_, nullptr);
  auto& siblings = parent->subviews_;
  siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [&](auto& view) { return view.get() == this; }),
                 siblings.end());
}

void UIView::addConstraint(NSLayoutConstraint* constraint) {
  if (constraint) constraints_.push_back(Retained<NSLayoutConstraint>(constraint));
}

UIView::Properties UIView::inspectedProperties() const {
  Properties properties;
  if (alpha_ != 1) properties.emplace_back("alpha", fmt::format("{}", alpha_));
  if (backgroundColor_) properties.emplace_back("backgroundColor", backgroundColor_->description());
  if (shadow_.opacity > 0)
    properties.emplace_back("shadow", fmt::format("{} offset ({}, {}) opacity {} radius {}",
                                                  shadow_.color ? shadow_.color->description() : "(none)",
                                                  shadow_.offset.width, shadow_.offset.height, shadow_.opacity,
                                                  shadow_.radius));
  if (!clipsToBounds_ && shadow_.opacity > 0) properties.emplace_back("clipsToBounds", "NO");
  return properties;
}

namespace {
[[maybe_unused]] const Class registered = UIView::class_();
}
