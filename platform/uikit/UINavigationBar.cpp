#include "platform/uikit/UINavigationBar.h"

#include "platform/objc/Methods.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIDevice.h"

NSString* const NSForegroundColorAttributeName = NSSTR("NSColor");

Class UINavigationBar::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UINavigationBar>("UINavigationBar", UIView::class_());
    objc::addMethod<&UINavigationBar::tintColor>(registered, "tintColor");
    objc::addMethod<&UINavigationBar::setTintColor>(registered, "setTintColor:");
    objc::addMethod<&UINavigationBar::barTintColor>(registered, "barTintColor");
    objc::addMethod<&UINavigationBar::setBarTintColor>(registered, "setBarTintColor:");
    objc::addMethod<&UINavigationBar::titleTextAttributes>(registered, "titleTextAttributes");
    objc::addMethod<&UINavigationBar::setTitleTextAttributes>(registered, "setTitleTextAttributes:");
    return registered;
  }();
  return cls;
}

Retained<UINavigationBar> UINavigationBar::bar() {
  auto made = objc::alloc<UINavigationBar>();
  made->setFrame(CGRectMake(0, 20, uikit::screenSize().width, 44));
  return made;
}

void UINavigationBar::setTintColor(UIColor* color) { tintColor_ = objc::retain(color); }

void UINavigationBar::setBarTintColor(UIColor* color) { barTintColor_ = objc::retain(color); }

UINavigationBar::Properties UINavigationBar::inspectedProperties() const {
  Properties properties = UIView::inspectedProperties();
  properties.emplace_back("tintColor", tintColor_ ? tintColor_->description() : "(default)");
  properties.emplace_back("barTintColor", barTintColor_ ? barTintColor_->description() : "(default)");
  std::string attributes = "(default)";
  if (titleTextAttributes_) {
    attributes.clear();
    for (auto& [key, value] : titleTextAttributes_->entries())
      attributes += (attributes.empty() ? "" : ", ") + key + " = " + value->description();
  }
  properties.emplace_back("titleTextAttributes", attributes);
  return properties;
}

Class UINavigationItem::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UINavigationItem>("UINavigationItem", NSObject::class_());
    objc::addMethod<&UINavigationItem::title>(registered, "title");
    objc::addMethod<&UINavigationItem::setTitle>(registered, "setTitle:");
    objc::addMethod<&UINavigationItem::titleView>(registered, "titleView");
    objc::addMethod<&UINavigationItem::setTitleView>(registered, "setTitleView:");
    objc::addMethod<&UINavigationItem::rightBarButtonItem>(registered, "rightBarButtonItem");
    objc::addMethod<&UINavigationItem::setRightBarButtonItem>(registered, "setRightBarButtonItem:");
    return registered;
  }();
  return cls;
}

Retained<UINavigationItem> UINavigationItem::item() {
  return objc::alloc<UINavigationItem>();
}

namespace {
[[maybe_unused]] const Class registered = UINavigationBar::class_();
[[maybe_unused]] const Class registeredItem = UINavigationItem::class_();
}
