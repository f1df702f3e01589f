#include "platform/uikit/UIDevice.h"

#include "platform/device/Device.h"
#include "platform/objc/Methods.h"

namespace {
Retained<NSObject>& replacement() {
  static auto* object = new Retained<NSObject>;
  return *object;
}
}  // namespace

Class UIDevice::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIDevice>("UIDevice", NSObject::class_());
    objc::addClassFunction(registered, "currentDevice", +[](Class, SEL) { return UIDevice::currentDevice(); });
    objc::addMethod<&UIDevice::userInterfaceIdiom>(registered, "userInterfaceIdiom");
    return registered;
  }();
  return cls;
}

NSObject* UIDevice::currentDevice() {
  if (replacement()) return replacement().get();
  static UIDevice* device = static_cast<UIDevice*>(objc_makeImmortal(class_createInstance(class_(), 0)));
  return device;
}

void UIDevice::setCurrentDevice(NSObject* device) { replacement() = objc::retain(device); }

UIUserInterfaceIdiom UIDevice::userInterfaceIdiom() {
  return device::setting("Idiom").value_or("phone") == "pad" ? UIUserInterfaceIdiomPad : UIUserInterfaceIdiomPhone;
}

CGSize uikit::screenSize() {
  return device::setting("Idiom").value_or("phone") == "pad" ? CGSize{768, 1024} : CGSize{320, 568};
}

namespace {
[[maybe_unused]] const Class registered = UIDevice::class_();
}
