#pragma once

#include "platform/objc/Retained.h"
#include "platform/objc/message.h"
#include "platform/objc/runtime.h"

/// The root class.
class NSObject : public objc_object {
 public:
  static Class class_();
  /// Whether the object's runtime class is `cls` or inherits from it.
  bool isKindOfClass(Class cls) const;
  bool respondsToSelector(SEL selector) const;
  /// Whether the object's class or a superclass declares the protocol.
  bool conformsToProtocol(Protocol* protocol) const;
};

/// Makes a new instance of the runtime class, as `[[cls alloc] init]` would.
Retained<NSObject> objc_createObject(Class cls);

/// The object as a C++ type, or null if it is not one.
template <class T>
T* objc_cast(objc_object* object) {
  return dynamic_cast<T*>(object);
}

/// The reference as one to T; null if the object is not one (the reference
/// then stays where it was, released with its temporary).
template <class T, class U>
Retained<T> objc_cast(Retained<U>&& object) {
  return objc::handOver(std::move(object), objc_cast<T>(object.get()));
}

namespace objc {

/// A new instance of the runtime class `cls` (T's own by default), every
/// instance variable zero, adopted: what `alloc` gives before an initialiser runs.
template <class T>
Retained<T> alloc(Class cls = T::class_()) {
  return Retained<T>::adopt(static_cast<T*>(class_createInstance(cls, 0)));
}

}  // namespace objc
