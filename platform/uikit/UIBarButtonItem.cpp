#include "platform/uikit/UIBarButtonItem.h"

#include <fmt/format.h>

#include <string_view>

#include "platform/objc/Methods.h"

Class UIBarButtonItem::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIBarButtonItem>("UIBarButtonItem", NSObject::class_());
    objc::addMethod<&UIBarButtonItem::initWithBarButtonSystemItem_target_action>(
        registered, "initWithBarButtonSystemItem:target:action:");
    objc::addMethod<&UIBarButtonItem::target>(registered, "target");
    objc::addMethod<&UIBarButtonItem::action>(registered, "action");
    return registered;
  }();
  return cls;
}

Retained<UIBarButtonItem> UIBarButtonItem::itemWithSystemItem_target_action(UIBarButtonSystemItem item,
                                                                            NSObject* target, SEL action) {
  auto made = objc::alloc<UIBarButtonItem>();
  made->initWithBarButtonSystemItem_target_action(item, target, action);
  return made;
}

UIBarButtonItem* UIBarButtonItem::initWithBarButtonSystemItem_target_action(UIBarButtonSystemItem item,
                                                                            NSObject* target, SEL action) {
  systemItem_ = item;
  target_ = target;
  action_ = action;
  return this;
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
