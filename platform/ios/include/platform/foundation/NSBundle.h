#pragma once

#include "platform/foundation/NSString.h"
#include "platform/objc/NSObject.h"

class NSBundle : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSBundle"); }
  /// The bundle at a path, or nil if nothing is there; not owned.
  static NSBundle* bundleWithPath(const NSString* path) {
    return objc::sendMessage<NSBundle*>(class_(), ORVANE_SEL("bundleWithPath:"), path);
  }

  Retained<NSString> pathForResource_ofType(const NSString* name, const NSString* type) {
    return objc::retain(objc::sendMessage<NSString*>(this, ORVANE_SEL("pathForResource:ofType:"), name, type));
  }
  Retained<NSString> localizedStringForKey_value_table(const NSString* key, const NSString* value,
                                                       const NSString* table) {
    return objc::retain(
        objc::sendMessage<NSString*>(this, ORVANE_SEL("localizedStringForKey:value:table:"), key, value, table));
  }
};
