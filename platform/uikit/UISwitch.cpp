#include "platform/uikit/UISwitch.h"

#include <mutex>
#include <vector>

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIViewController.h"

namespace {

struct Proxies {
  std::mutex mutex;
  std::vector<std::pair<Class, Retained<UISwitchAppearance>>> byContainer;
};

Proxies& proxies() {
  static Proxies* instance = new Proxies;
  return *instance;
}

}  // namespace

Class UISwitchAppearance::class_() {
  static Class cls = objc_registerCppClass<UISwitchAppearance>("_UIAppearance", NSObject::class_());
  return cls;
}

void UISwitchAppearance::setOnTintColor(UIColor* color) { onTintColor_ = objc::retain(color); }

Class UISwitch::class_() {
  static Class cls = objc_registerCppClass<UISwitch>("UISwitch", UIView::class_());
  return cls;
}

Retained<UISwitch> UISwitch::switchControl() {
  return objc::alloc<UISwitch>();
}

UISwitchAppearance* UISwitch::appearanceWhenContainedIn(Class container) {
  Proxies& all = proxies();
  std::lock_guard lock(all.mutex);
  for (auto& [cls, proxy] : all.byContainer)
    if (cls == container) return proxy.get();
  auto proxy = objc::alloc<UISwitchAppearance>();
  all.byContainer.emplace_back(container, proxy);
  return proxy.get();
}

void UISwitch::setOnTintColor(UIColor* color) { onTintColor_ = objc::retain(color); }

UIColor* UISwitch::onTintColor() const {
  if (onTintColor_ || !container_) return onTintColor_.get();
  Proxies& all = proxies();
  std::lock_guard lock(all.mutex);
  // The most recently made proxy whose container the controller is a kind of.
  for (auto proxy = all.byContainer.rbegin(); proxy != all.byContainer.rend(); ++proxy)
    if (container_->isKindOfClass(proxy->first) && proxy->second->onTintColor()) return proxy->second->onTintColor();
  return nullptr;
}

UISwitch::Properties UISwitch::inspectedProperties() const {
  Properties properties = UIView::inspectedProperties();
  properties.emplace_back("on", on_ ? "YES" : "NO");
  UIColor* tint = onTintColor();
  properties.emplace_back("onTintColor", tint ? tint->description() : "(default)");
  return properties;
}

namespace {
[[maybe_unused]] const Class registered = UISwitch::class_();
}
