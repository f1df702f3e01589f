#pragma once

#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"
#include "platform/objc/NSObject.h"

class NSFileManager : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSFileManager"); }
  static NSFileManager* defaultManager() {
    return objc::sendMessage<NSFileManager*>(class_(), ORVANE_SEL("defaultManager"));
  }
  /// The names in a directory, or nil if it cannot be read.
  Retained<NSArray> contentsOfDirectoryAtPath_error(const NSString* path, void* error) {
    return objc::retain(objc::sendMessage<NSArray*>(this, ORVANE_SEL("contentsOfDirectoryAtPath:error:"), path, error));
  }
  /// The item's attributes ("NSFileType", "NSFileSize"; a link's own), or nil.
  Retained<NSDictionary> attributesOfItemAtPath_error(const NSString* path, void* error) {
    return objc::retain(
        objc::sendMessage<NSDictionary*>(this, ORVANE_SEL("attributesOfItemAtPath:error:"), path, error));
  }
};
