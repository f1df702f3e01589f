#include "platform/uikit/UIApplication.h"

Class UIApplication::class_() {
  static Class cls = objc_registerCppClass<UIApplication>("UIApplication", NSObject::class_());
  return cls;
}

UIApplication* UIApplication::sharedApplication() {
  static UIApplication* application =
      static_cast<UIApplication*>(objc_makeImmortal(class_createInstance(class_(), 0)));
  return application;
}
