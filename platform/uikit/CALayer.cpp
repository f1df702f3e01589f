#include "platform/uikit/CALayer.h"

#include "platform/objc/Methods.h"

Class CALayer::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<CALayer>("CALayer", NSObject::class_());
    objc::addMethod<&CALayer::shadowColor>(registered, "shadowColor");
    objc::addMethod<&CALayer::setShadowColor>(registered, "setShadowColor:");
    objc::addMethod<&CALayer::shadowOffset>(registered, "shadowOffset");
    objc::addMethod<&CALayer::setShadowOffset>(registered, "setShadowOffset:");
    objc::addMethod<&CALayer::shadowOpacity>(registered, "shadowOpacity");
    objc::addMethod<&CALayer::setShadowOpacity>(registered, "setShadowOpacity:");
    objc::addMethod<&CALayer::shadowRadius>(registered, "shadowRadius");
    objc::addMethod<&CALayer::setShadowRadius>(registered, "setShadowRadius:");
    return registered;
  }();
  return cls;
}

namespace {
[[maybe_unused]] const Class registered = CALayer::class_();
}
