#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSString.h"
#include "platform/objc/NSObject.h"

/// A dictionary with string keys, as property lists hold them.
class NSDictionary : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSDictionary"); }
  static Retained<NSDictionary> dictionary() { return make(class_()); }
  /// The property list at a path, or nil if it is missing, no property list,
  /// or its root is not a dictionary.
  static Retained<NSDictionary> dictionaryWithContentsOfFile(const NSString* path) {
    return makeWithContentsOfFile(class_(), path);
  }

  unsigned long count() const { return objc::sendMessage<unsigned long>(this, ORVANE_SEL("count")); }
  objc_object* objectForKey(const NSString* key) const {
    return objc::sendMessage<id>(this, ORVANE_SEL("objectForKey:"), key);
  }
  Retained<NSArray> allKeys() const { return objc::retain(objc::sendMessage<NSArray*>(this, ORVANE_SEL("allKeys"))); }
  /// Of a file's attributes: its "NSFileSize", or 0; its "NSFileType", or nil.
  unsigned long long fileSize() const { return objc::sendMessage<unsigned long long>(this, ORVANE_SEL("fileSize")); }
  NSString* fileType() const { return objc::sendMessage<NSString*>(this, ORVANE_SEL("fileType")); }
  bool writeToFile_atomically(const NSString* path, bool atomically) const {
    return objc::sendMessage<BOOL>(this, ORVANE_SEL("writeToFile:atomically:"), path, static_cast<BOOL>(atomically));
  }

 protected:
  static Retained<NSDictionary> make(Class cls) {
    return objc::allocInit<NSDictionary>(cls, ORVANE_SEL("init"));
  }
  static Retained<NSDictionary> makeWithContentsOfFile(Class cls, const NSString* path) {
    return objc::allocInit<NSDictionary>(cls, ORVANE_SEL("initWithContentsOfFile:"), path);
  }
};

class NSMutableDictionary : public NSDictionary {
 public:
  static Class class_() { return ORVANE_CLASS("NSMutableDictionary"); }
  static Retained<NSMutableDictionary> dictionary() { return downcast(make(class_())); }
  static Retained<NSMutableDictionary> dictionaryWithContentsOfFile(const NSString* path) {
    return downcast(makeWithContentsOfFile(class_(), path));
  }

  void setObject_forKey(objc_object* object, const NSString* key) {
    objc::sendMessage<void>(this, ORVANE_SEL("setObject:forKey:"), object, key);
  }
  void removeObjectForKey(const NSString* key) {
    objc::sendMessage<void>(this, ORVANE_SEL("removeObjectForKey:"), key);
  }
  void addEntriesFromDictionary(const NSDictionary* other) {
    objc::sendMessage<void>(this, ORVANE_SEL("addEntriesFromDictionary:"), other);
  }

 private:
  static Retained<NSMutableDictionary> downcast(Retained<NSDictionary> made) {
    return Retained<NSMutableDictionary>::adopt(static_cast<NSMutableDictionary*>(made.leak()));
  }
};
