#include "platform/objc/NSObject.h"

#include <climits>

#include "platform/objc/Methods.h"

namespace {
id initialise(id self, SEL) { return self; }
// +alloc: an instance no initialiser has run on yet, owned by the caller.
id allocate(Class self, SEL) { return class_createInstance(self, 0); }
BOOL isEqual(NSObject* self, SEL, id other) { return self == other; }
// An immortal object answers the largest count, as the platform's constants do.
unsigned long countReferences(NSObject* self, SEL) {
  long count = self->retainCount.load(std::memory_order_relaxed);
  return count < 0 ? ULONG_MAX : static_cast<unsigned long>(count);
}
}  // namespace

Class NSObject::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSObject>("NSObject", nullptr);
    class_addMethod(registered, sel_registerName("init"), reinterpret_cast<IMP>(&initialise), "@@:");
    objc::addMethod<&NSObject::conformsToProtocol>(registered, "conformsToProtocol:");
    objc::addClassFunction(registered, "alloc", &allocate);
    objc::addMethod<&NSObject::isKindOfClass>(registered, "isKindOfClass:");
    objc::addMethod<&NSObject::respondsToSelector>(registered, "respondsToSelector:");
    objc::addFunction(registered, "isEqual:", &isEqual);
    objc::addFunction(registered, "retainCount", &countReferences);
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
