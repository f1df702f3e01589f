#include "platform/uikit/UILabel.h"

#include "platform/objc/Methods.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"

Class UILabel::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UILabel>("UILabel", UIView::class_());
    objc::addMethod<&UILabel::text>(registered, "text");
    objc::addMethod<&UILabel::setText>(registered, "setText:");
    objc::addMethod<&UILabel::textColor>(registered, "textColor");
    objc::addMethod<&UILabel::setTextColor>(registered, "setTextColor:");
    objc::addMethod<&UILabel::font>(registered, "font");
    objc::addMethod<&UILabel::setFont>(registered, "setFont:");
    objc::addMethod<&UILabel::numberOfLines>(registered, "numberOfLines");
    objc::addMethod<&UILabel::setNumberOfLines>(registered, "setNumberOfLines:");
    objc::addMethod<&UILabel::textAlignment>(registered, "textAlignment");
    objc::addMethod<&UILabel::setTextAlignment>(registered, "setTextAlignment:");
    return registered;
  }();
  return cls;
}

Retained<UILabel> UILabel::label() {
  return objc::alloc<UILabel>();
}

void UILabel::setTextColor(UIColor* color) { textColor_ = objc::retain(color); }

void UILabel::setFont(UIFont* font) { font_ = objc::retain(font); }

CGSize UILabel::intrinsicContentSize() const {
  if (!text_ || text_->utf8().empty()) return {0, 0};
  Retained<UIFont> font = font_ ? font_ : UIFont::systemFontOfSize(17);
  return font->sizeOfLine(text_->utf8());
}

UILabel::Properties UILabel::inspectedProperties() const {
  Properties properties = UIView::inspectedProperties();
  properties.emplace_back("text", text_ ? text_->utf8() : "(null)");
  if (textColor_) properties.emplace_back("textColor", textColor_->description());
  if (font_) properties.emplace_back("font", font_->description() + " (set in " + font_->faceName() + ")");
  if (textAlignment_ == NSTextAlignmentCenter) properties.emplace_back("alignment", "center");
  return properties;
}

namespace {
[[maybe_unused]] const Class registered = UILabel::class_();
}
