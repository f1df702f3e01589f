#pragma once

#include "platform/objc/Retained.h"
#include "platform/objc/message.h"
#include "platform/objc/runtime.h"

class NSString;

/// The root class.
class NSObject : public objc_object {
 public:
  static Class class_() { return ORVANE_CLASS("NSObject"); }
  /// Whether the object's runtime class is `cls` or inherits from it.
  bool isKindOfClass(Class cls) const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("isKindOfClass:"), cls); }
  bool respondsToSelector(SEL selector) const {
    return objc::sendMessage<BOOL>(this, ORVANE_SEL("respondsToSelector:"), selector);
  }
  bool conformsToProtocol(Protocol* protocol) const {
    return objc::sendMessage<BOOL>(this, ORVANE_SEL("conformsToProtocol:"), protocol);
  }
  NSString* description() const { return objc::sendMessage<NSString*>(this, ORVANE_SEL("description")); }
};

namespace objc {

/// `[cls alloc]` (T's own class by default), adopted: an instance no
/// initialiser has run on yet.
template <class T>
inline Retained<T> alloc(Class cls = T::class_()) {
  return Retained<T>::adopt(reinterpret_cast<T*>(sendMessage<id>(cls, ORVANE_SEL("alloc"))));
}

/// `[[cls alloc] initializer...]`, adopting the +1 result. Through "alloc", so
/// class clusters hand out their own placeholders.
template <class T, class... Args>
inline Retained<T> allocInit(Class cls, SEL initializer, Args... arguments) {
  // The initialiser consumes the allocated reference and returns its own.
  id allocated = alloc<objc_object>(cls).leak();
  return Retained<T>::adopt(reinterpret_cast<T*>(sendMessage<id>(allocated, initializer, arguments...)));
}

}  // namespace objc
