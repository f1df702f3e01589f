#include "platform/uikit/UILabel.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"

Class UILabel::class_() {
  static Class cls = objc_registerCppClass<UILabel>("UILabel", UIView::class_());
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
