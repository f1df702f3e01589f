#pragma once

#include "platform/coregraphics/CGGeometry.h"
#include "platform/objc/NSObject.h"
#include "platform/uikit/UIKitTypes.h"

class UIView;

class NSLayoutConstraint : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSLayoutConstraint"); }
  static Retained<NSLayoutConstraint> constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
      UIView* item, NSLayoutAttribute attribute, NSLayoutRelation relation, UIView* toItem,
      NSLayoutAttribute toAttribute, CGFloat multiplier, CGFloat constant) {
    return objc::retain(objc::sendMessage<NSLayoutConstraint*>(
        class_(), ORVANE_SEL("constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:"),
        reinterpret_cast<id>(item), attribute, relation, reinterpret_cast<id>(toItem), toAttribute, multiplier,
        constant));
  }
};
