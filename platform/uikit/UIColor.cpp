#include "platform/uikit/UIColor.h"

#include <fmt/format.h>

#include "platform/objc/Methods.h"

Class UIColor::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIColor>("UIColor", NSObject::class_());
    objc::addClassFunction(registered, "colorWithRed:green:blue:alpha:",
                           +[](Class, SEL, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
                             return UIColor::colorWithRed_green_blue_alpha(red, green, blue, alpha).autorelease();
                           });
    objc::addClassFunction(registered, "whiteColor", +[](Class, SEL) { return UIColor::whiteColor(); });
    objc::addClassFunction(registered, "blackColor", +[](Class, SEL) { return UIColor::blackColor(); });
    objc::addClassFunction(registered, "clearColor", +[](Class, SEL) { return UIColor::clearColor(); });
    objc::addClassFunction(registered, "grayColor", +[](Class, SEL) { return UIColor::grayColor(); });
    objc::addClassFunction(registered, "darkGrayColor", +[](Class, SEL) { return UIColor::darkGrayColor(); });
    objc::addMethod<&UIColor::CGColor>(registered, "CGColor");
    // Equal components make equal colours; anything but a colour is unequal.
    objc::addFunction(registered, "isEqual:", +[](UIColor* self, SEL, id other) -> BOOL {
      auto* color = objc_cast<UIColor>(other);
      return color && self->isEqualToColor(color);
    });
    return registered;
  }();
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

namespace {
[[maybe_unused]] const Class registered = UIColor::class_();
}
