#include "platform/uikit/UILabel.h"

#include "platform/uikit/UIColor.h"

Class UILabel::class_() {
  static Class cls = objc_registerCppClass<UILabel>("UILabel", UIView::class_());
  return cls;
}

Retained<UILabel> UILabel::label() {
  return Retained<UILabel>::adopt(static_cast<UILabel*>(class_createInstance(class_(), 0)));
}

void UILabel::setTextColor(UIColor* color) { textColor_ = color; }

UILabel::Properties UILabel::inspectedProperties() const {
  Properties properties = UIView::inspectedProperties();
  properties.emplace_back("text", text_ ? text_->utf8() : "(null)");
  if (textColor_) properties.emplace_back("textColor", textColor_->description());
  return properties;
}

namespace {
[[maybe_unused]] const Class registered = UILabel::class_();
}
