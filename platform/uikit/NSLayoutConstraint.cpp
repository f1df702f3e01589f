#include "platform/uikit/NSLayoutConstraint.h"

#include <fmt/format.h>

#include "platform/objc/Methods.h"
#include "platform/uikit/UIView.h"

namespace {
const char* attributeName(NSLayoutAttribute attribute) {
  static const char* names[] = {"none", "left", "right", "top", "bottom", "leading",
                                "trailing", "width", "height", "centerX", "centerY"};
  return attribute >= 0 && attribute <= 10 ? names[attribute] : "?";
}
}  // namespace

Class NSLayoutConstraint::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSLayoutConstraint>("NSLayoutConstraint", NSObject::class_());
    objc::addClassFunction(
        registered, "constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:",
        +[](Class, SEL, UIView* item, NSLayoutAttribute attribute, NSLayoutRelation relation, UIView* toItem,
            NSLayoutAttribute toAttribute, CGFloat multiplier, CGFloat constant) {
          return NSLayoutConstraint::constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
                     item, attribute, relation, toItem, toAttribute, multiplier, constant)
              .autorelease();
        });
    return registered;
  }();
  return cls;
}

Retained<NSLayoutConstraint> NSLayoutConstraint::constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
    UIView* item, NSLayoutAttribute attribute, NSLayoutRelation relation, UIView* toItem, NSLayoutAttribute toAttribute,
    CGFloat multiplier, CGFloat constant) {
  auto made = objc::alloc<NSLayoutConstraint>();
  made->firstItem_ = item;
  made->firstAttribute_ = attribute;
  made->relation_ = relation;
  made->secondItem_ = toItem;
  made->secondAttribute_ = toAttribute;
  made->multiplier_ = multiplier;
  made->constant_ = constant;
  return made;
}

std::string NSLayoutConstraint::description() const {
  auto name = [](UIView* view) { return view ? fmt::format("{}:{}", object_getClassName(view), static_cast<void*>(view)) : std::string("nil"); };
  if (!secondItem_) return fmt::format("{}.{} == {}", name(firstItem_), attributeName(firstAttribute_), constant_);
  return fmt::format("{}.{} == {} × {}.{} + {}", name(firstItem_), attributeName(firstAttribute_), multiplier_,
                     name(secondItem_), attributeName(secondAttribute_), constant_);
}

namespace {
[[maybe_unused]] const Class registered = NSLayoutConstraint::class_();
}
