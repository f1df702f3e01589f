#pragma once

#include "platform/coregraphics/CGGeometry.h"
#include "platform/objc/NSObject.h"
#include "platform/uikit/UIKitTypes.h"

class UIView;

/// item.attribute = multiplier × toItem.attribute + constant (equalities only).
class NSLayoutConstraint : public NSObject {
 public:
  static Class class_();
  static Retained<NSLayoutConstraint> constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
      UIView* item, NSLayoutAttribute attribute, NSLayoutRelation relation, UIView* toItem,
      NSLayoutAttribute toAttribute, CGFloat multiplier, CGFloat constant);

  UIView* firstItem() const { return firstItem_; }
  UIView* secondItem() const { return secondItem_; }
  NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
  NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
  NSLayoutRelation relation() const { return relation_; }
  CGFloat multiplier() const { return multiplier_; }
  CGFloat constant() const { return constant_; }

  std::string description() const override;

 private:
  // Views are not owned: the view holding the constraint owns them through its subviews.
  UIView* firstItem_ = nullptr;
  UIView* secondItem_ = nullptr;
  NSLayoutAttribute firstAttribute_ = 0, secondAttribute_ = 0;
  NSLayoutRelation relation_ = NSLayoutRelationEqual;
  CGFloat multiplier_ = 1, constant_ = 0;
};
