#include "platform/uikit/UIColor.h"

#include <fmt/format.h>

Class UIColor::class_() {
  static Class cls = objc_registerCppClass<UIColor>("UIColor", NSObject::class_());
  return cls;
}

Retained<UIColor> UIColor::colorWithRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  auto color = objc::alloc<UIColor>();
  color->components_ = {red, green, blue, alpha};
  return color;
}

namespace {
UIColor* named(const char* name, CGFloat white, CGFloat alpha) {
  UIColor* color = UIColor::colorWithRed_green_blue_alpha(white, white, white, alpha).leak();
  objc_makeImmortal(color);
  color->setName(name);
  return color;
}
}  // namespace

UIColor* UIColor::whiteColor() {
  static UIColor* color = named("whiteColor", 1, 1);
  return color;
}

UIColor* UIColor::blackColor() {
  static UIColor* color = named("blackColor", 0, 1);
  return color;
}

UIColor* UIColor::clearColor() {
  static UIColor* color = named("clearColor", 0, 0);
  return color;
}

UIColor* UIColor::grayColor() {
  static UIColor* color = named("grayColor", 0.5, 1);
  return color;
}

UIColor* UIColor::darkGrayColor() {
  static UIColor* color = named("darkGrayColor", 1.0 / 3.0, 1);
  return color;
}

bool UIColor::isEqualToColor(const UIColor* other) const {
  return other && red() == other->red() && green() == other->green() && blue() == other->blue() && alpha() == other->alpha();
}

std::string UIColor::description() const {
  if (name_) return name_;
  return fmt::format("UIColor({} {} {} {})", red(), green(), blue(), alpha());
}
