#include "platform/uikit/UISwitch.h"

#include <cstdarg>
#include <mutex>
#include <vector>

#include "platform/objc/Methods.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIViewController.h"

namespace {

struct Proxies {
  std::mutex mutex;
  std::vector<std::pair<std::vector<Class>, Retained<UISwitchAppearance>>> byContainers;
};

Proxies& proxies() {
  static Proxies* instance = new Proxies;
  return *instance;
}

/// `+appearanceWhenContainedIn:`, whose list of classes ends with nil.
UISwitchAppearance* appearanceWhenContainedInList(Class, SEL, Class first, ...) {
  std::vector<Class> containers;
  va_list rest;
  va_start(rest, first);
  for (Class container = first; container; container = va_arg(rest, Class)) containers.push_back(container);
  va_end(rest);
  return UISwitch::appearanceWhenContainedIn(containers);
}

/// The controller `controller` is shown inside: its navigation controller, else its presenter.
UIViewController* outerController(UIViewController* controller) {
  if (UIViewController* navigation = controller->navigationController()) return navigation;
  return controller->presentingViewController();
}

/// Whether each class of the list, innermost first, holds a controller on the way out from `controller`.
bool containedIn(UIViewController* controller, const std::vector<Class>& containers) {
  auto wanted = containers.begin();
  for (; controller && wanted != containers.end(); controller = outerController(controller))
    if (controller->isKindOfClass(*wanted)) ++wanted;
  return wanted == containers.end();
}

}  // namespace

Class UISwitchAppearance::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UISwitchAppearance>("_UIAppearance", NSObject::class_());
    objc::addMethod<&UISwitchAppearance::setOnTintColor>(registered, "setOnTintColor:");
    return registered;
  }();
  return cls;
}

void UISwitchAppearance::setOnTintColor(UIColor* color) { onTintColor_ = objc::retain(color); }

Class UISwitch::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UISwitch>("UISwitch", UIView::class_());
    // Variadic, so added by hand: the encoding is that of the fixed arguments.
    class_replaceMethod(objc_getMetaClass("UISwitch"), sel_registerName("appearanceWhenContainedIn:"),
                        reinterpret_cast<IMP>(&appearanceWhenContainedInList),
                        objc::signature<UISwitchAppearance*, Class>().c_str());
    objc::addMethod<&UISwitch::isOn>(registered, "isOn");
    objc::addMethod<&UISwitch::setOn>(registered, "setOn:");
    objc::addMethod<&UISwitch::setOnTintColor>(registered, "setOnTintColor:");
    objc::addMethod<&UISwitch::onTintColor>(registered, "onTintColor");
    return registered;
  }();
  return cls;
}

Retained<UISwitch> UISwitch::switchControl() {
  return objc::alloc<UISwitch>();
}

UISwitchAppearance* UISwitch::appearanceWhenContainedIn(Class container) {
  return appearanceWhenContainedIn(std::vector<Class>{container});
}

UISwitchAppearance* UISwitch::appearanceWhenContainedIn(const std::vector<Class>& containers) {
  Proxies& all = proxies();
  std::lock_guard lock(all.mutex);
  for (auto& [classes, proxy] : all.byContainers)
    if (classes == containers) return proxy.get();
  auto proxy = objc::alloc<UISwitchAppearance>();
  all.byContainers.emplace_back(containers, proxy);
  return proxy.get();
}

void UISwitch::setOnTintColor(UIColor* color) { onTintColor_ = objc::retain(color); }

UIColor* UISwitch::onTintColor() const {
  if (onTintColor_ || !container_) return onTintColor_.get();
  Proxies& all = proxies();
  std::lock_guard lock(all.mutex);
  // The most recently made proxy whose containers hold the controller.
  for (auto proxy = all.byContainers.rbegin(); proxy != all.byContainers.rend(); ++proxy)
    if (proxy->second->onTintColor() && containedIn(container_, proxy->first)) return proxy->second->onTintColor();
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
[[maybe_unused]] const Class registeredAppearance = UISwitchAppearance::class_();
}
