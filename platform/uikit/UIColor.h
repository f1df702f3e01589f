#pragma once

#include "platform/coregraphics/CGGeometry.h"
#include "platform/objc/NSObject.h"

/// CoreGraphics' colour, as a layer takes it: its components.
struct CGColor {
  CGFloat red = 0, green = 0, blue = 0, alpha = 1;
};
typedef const struct CGColor* CGColorRef;

class UIColor : public NSObject {
 public:
  static Class class_();
  /// The components exactly as given.
  static Retained<UIColor> colorWithRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
  /// The platform's ready-made white, one shared object.
  static UIColor* whiteColor();
  static UIColor* blackColor();
  static UIColor* clearColor();
  static UIColor* grayColor();
  static UIColor* darkGrayColor();

  CGFloat red() const { return components_.red; }
  CGFloat green() const { return components_.green; }
  CGFloat blue() const { return components_.blue; }
  CGFloat alpha() const { return components_.alpha; }
  /// The colour as CoreGraphics takes it, valid while the colour lives.
  CGColorRef CGColor() const { return &components_; }
  bool isEqualToColor(const UIColor* other) const;
  /// Names a ready-made colour, which then describes itself by that name.
  void setName(const char* name) { name_ = name; }

  /// "UIColor(r g b a)" with the components as stored, or the ready-made colour's name.
  std::string description() const override;

 private:
  struct CGColor components_;
  const char* name_ = nullptr;
};
