#include "platform/uikit/UIBarButtonItem.h"

#include <fmt/format.h>

#include <string_view>

Class UIBarButtonItem::class_() {
  static Class cls = objc_registerCppClass<UIBarButtonItem>("UIBarButtonItem", NSObject::class_());
  return cls;
}

Retained<UIBarButtonItem> UIBarButtonItem::itemWithSystemItem_target_action(UIBarButtonSystemItem item,
                                                                            NSObject* target, SEL action) {
  auto made = objc::alloc<UIBarButtonItem>();
  made->systemItem_ = item;
  made->target_ = target;
  made->action_ = action;
  return made;
}

void UIBarButtonItem::tap() {
  if (!target_ || !action_) return;
  Retained<UIBarButtonItem> keep = objc::retain(this);
  if (std::string_view(sel_getName(action_)).ends_with(':')) objc_msgSend(target_, action_, static_cast<id>(this));
  else objc_msgSend(target_, action_);
}

std::string UIBarButtonItem::description() const {
  return fmt::format("<UIBarButtonItem systemItem={} action={}>", systemItem_, action_ ? sel_getName(action_) : "none");
}

namespace {
[[maybe_unused]] const Class registered = UIBarButtonItem::class_();
}
