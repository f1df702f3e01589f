#include "platform/uikit/UIApplication.h"

#include "platform/objc/Methods.h"

Class UIApplication::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIApplication>("UIApplication", NSObject::class_());
    objc::addClassFunction(registered, "sharedApplication", +[](Class, SEL) { return UIApplication::sharedApplication(); });
    objc::addMethod<&UIApplication::statusBarStyle>(registered, "statusBarStyle");
    objc::addMethod<&UIApplication::setStatusBarStyle>(registered, "setStatusBarStyle:");
    return registered;
  }();
  return cls;
}

UIApplication* UIApplication::sharedApplication() {
  static UIApplication* application =
      static_cast<UIApplication*>(objc_makeImmortal(class_createInstance(class_(), 0)));
  return application;
}

namespace {
[[maybe_unused]] const Class registered = UIApplication::class_();
}
