#include "platform/objc/NSObject.h"

#include "platform/objc/Methods.h"

namespace {
id initialise(id self, SEL) { return self; }
}  // namespace

Class NSObject::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSObject>("NSObject", nullptr);
    class_addMethod(registered, sel_registerName("init"), reinterpret_cast<IMP>(&initialise), "@@:");
    objc::addMethod<&NSObject::conformsToProtocol>(registered, "conformsToProtocol:");
    return registered;
  }();
  return cls;
}

bool NSObject::isKindOfClass(Class cls) const { return class_isSubclassOf(isa, cls); }

bool NSObject::respondsToSelector(SEL selector) const { return class_respondsToSelector(isa, selector); }

bool NSObject::conformsToProtocol(Protocol* protocol) const {
  for (Class cls = isa; cls; cls = class_getSuperclass(cls))
    if (class_conformsToProtocol(cls, protocol)) return true;
  return false;
}

Retained<NSObject> objc_createObject(Class cls) {
  id object = class_createInstance(cls, 0);
  auto* instance = dynamic_cast<NSObject*>(object);
  if (!instance) {
    objc_release(object);
    return nullptr;
  }
  return Retained<NSObject>::adopt(instance);
}

namespace {
[[maybe_unused]] const Class registered = NSObject::class_();
}
