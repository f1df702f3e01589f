#pragma once

#include "platform/foundation/Foundation.h"

/// A settings row of the Preferences framework.
class PSSpecifier : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("PSSpecifier"); }

  objc_object* propertyForKey(const NSString* key) const {
    return objc::sendMessage<id>(this, ORVANE_SEL("propertyForKey:"), key);
  }
  void setProperty_forKey(objc_object* value, const NSString* key) {
    objc::sendMessage<void>(this, ORVANE_SEL("setProperty:forKey:"), value, key);
  }
  NSString* name() const { return objc::sendMessage<NSString*>(this, ORVANE_SEL("name")); }
  void setName(NSString* name) { objc::sendMessage<void>(this, ORVANE_SEL("setName:"), name); }
  NSDictionary* titleDictionary() const { return objc::sendMessage<NSDictionary*>(this, ORVANE_SEL("titleDictionary")); }
  void setTitleDictionary(NSDictionary* titles) {
    objc::sendMessage<void>(this, ORVANE_SEL("setTitleDictionary:"), titles);
  }
  NSDictionary* shortTitleDictionary() const {
    return objc::sendMessage<NSDictionary*>(this, ORVANE_SEL("shortTitleDictionary"));
  }
  void setShortTitleDictionary(NSDictionary* titles) {
    objc::sendMessage<void>(this, ORVANE_SEL("setShortTitleDictionary:"), titles);
  }
};
