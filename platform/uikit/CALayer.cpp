#include "platform/uikit/CALayer.h"

Class CALayer::class_() {
  static Class cls = objc_registerCppClass<CALayer>("CALayer", NSObject::class_());
  return cls;
}

namespace {
[[maybe_unused]] const Class registered = CALayer::class_();
}
