#include "platform/foundation/NSDictionary.h"

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyListDescription.h"

Class NSDictionary::class_() {
  static Class cls = objc_registerCppClass<NSDictionary>("NSDictionary", NSObject::class_());
  return cls;
}

Retained<NSDictionary> NSDictionary::dictionary() {
  return Retained<NSDictionary>::adopt(static_cast<NSDictionary*>(class_createInstance(class_(), 0)));
}

Retained<NSDictionary> NSDictionary::dictionaryWithContentsOfFile(const NSString* path) {
  return NSMutableDictionary::dictionaryWithContentsOfFile(path);
}

objc_object* NSDictionary::objectForKey(const NSString* key) const { return key ? objectForKey(key->utf8()) : nullptr; }

objc_object* NSDictionary::objectForKey(std::string_view key) const {
  auto found = entries_.find(std::string(key));
  return found == entries_.end() ? nullptr : found->second.get();
}

Retained<NSArray> NSDictionary::allKeys() const {
  std::vector<Retained<objc_object>> keys;
  for (auto& [key, value] : entries_) keys.push_back(NSString::stringWithUTF8String(key));
  return NSArray::arrayWithObjects(std::move(keys));
}

bool NSDictionary::writeToFile_atomically(const NSString* path, bool) const {
  if (!path) return false;
  auto xml = NSPropertyListSerialization::xmlDataWithPropertyList(this);
  if (!xml) return false;
  // Even a write not asked to be atomic goes through a temporary file: a
  // reader in another process must never see half a file.
  return files::writeAtomically(device::hostPath(path->utf8()), *xml, files::Durability::Flushed);
}

unsigned long long NSDictionary::fileSize() const {
  auto* size = objc_cast<NSNumber>(objectForKey("NSFileSize"));
  return size && size->integerValue() > 0 ? static_cast<unsigned long long>(size->integerValue()) : 0;
}

NSString* NSDictionary::fileType() const { return objc_cast<NSString>(objectForKey("NSFileType")); }

std::string NSDictionary::description() const { return foundation::describeNested(this, 0); }

Class NSMutableDictionary::class_() {
  static Class cls = objc_registerCppClass<NSMutableDictionary>("NSMutableDictionary", NSDictionary::class_());
  return cls;
}

Retained<NSMutableDictionary> NSMutableDictionary::dictionary() {
  return Retained<NSMutableDictionary>::adopt(static_cast<NSMutableDictionary*>(class_createInstance(class_(), 0)));
}

Retained<NSMutableDictionary> NSMutableDictionary::dictionaryWithContentsOfFile(const NSString* path) {
  if (!path) return nullptr;
  PropertyListFile file = readPropertyListFile(path->utf8(), foundation::maximumBytesForPropertyListFile(path->utf8()));
  auto* dictionary = objc_cast<NSDictionary>(file.value.get());
  if (!dictionary) return nullptr;
  auto result = NSMutableDictionary::dictionary();
  result->entries_ = dictionary->entries();
  return result;
}

void NSMutableDictionary::setObject_forKey(objc_object* object, const NSString* key) {
  if (!key) throw NSInvalidArgumentException("-[NSMutableDictionary setObject:forKey:]: key cannot be nil");
  setObject_forKey(object, key->utf8());
}

void NSMutableDictionary::setObject_forKey(objc_object* object, std::string_view key) {
  if (!object)
    throw NSInvalidArgumentException("-[NSMutableDictionary setObject:forKey:]: object cannot be nil (key: " +
                                     std::string(key) + ")");
  entries_[std::string(key)] = Retained<objc_object>::retain(object);
}

void NSMutableDictionary::addEntriesFromDictionary(const NSDictionary* other) {
  if (!other) return;
  for (auto& [key, value] : other->entries()) entries_[key] = value;
}

namespace {
[[maybe_unused]] const Class registered = NSMutableDictionary::class_();
}
