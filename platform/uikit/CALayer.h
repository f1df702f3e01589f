#pragma once

#include "platform/coregraphics/CGGeometry.h"
#include "platform/objc/NSObject.h"
#include "platform/uikit/UIColor.h"

/// The layer behind every view (QuartzCore's, kept with the views that own
/// one). Of its properties only the shadow is modelled; the screenshot draws it.
class CALayer : public NSObject {
 public:
  static Class class_();

  /// The shadow's colour, copied from the given one; opaque black until set.
  CGColorRef shadowColor() const { return &shadowColor_; }
  void setShadowColor(CGColorRef color) { shadowColor_ = color ? *color : CGColor{}; }
  CGSize shadowOffset() const { return shadowOffset_; }
  void setShadowOffset(CGSize offset) { shadowOffset_ = offset; }
  /// 0, no shadow, until set.
  float shadowOpacity() const { return shadowOpacity_; }
  void setShadowOpacity(float opacity) { shadowOpacity_ = opacity; }
  CGFloat shadowRadius() const { return shadowRadius_; }
  void setShadowRadius(CGFloat radius) { shadowRadius_ = radius; }

 private:
  CGColor shadowColor_;
  CGSize shadowOffset_{0, -3};
  float shadowOpacity_ = 0;
  CGFloat shadowRadius_ = 3;
};
