#include "platform/foundation/NSDictionary.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/device/PreferencesChange.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyListDescription.h"
#include "platform/objc/Methods.h"

Class NSDictionary::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSDictionary>("NSDictionary", NSObject::class_());
    objc::addFunction(registered, "initWithContentsOfFile:", +[](NSDictionary* self, SEL, NSString* path) -> id {
      Retained<NSDictionary> read = dictionaryWithContentsOfFile(path);
      if (!read) {
        objc_release(self);
        return nullptr;
      }
      self->entries_ = read->entries();
      return self;
    });
    objc::addFunction(registered, "count", +[](NSDictionary* self, SEL) -> unsigned long { return self->count(); });
    objc::addFunction(registered, "objectForKey:",
                      +[](NSDictionary* self, SEL, NSString* key) { return self->objectForKey(key); });
    objc::addFunction(registered, "allKeys", +[](NSDictionary* self, SEL) { return self->allKeys().autorelease(); });
    objc::addFunction(registered, "fileSize", +[](NSDictionary* self, SEL) { return self->fileSize(); });
    objc::addFunction(registered, "fileType", +[](NSDictionary* self, SEL) { return self->fileType(); });
    objc::addFunction(registered, "writeToFile:atomically:",
                      +[](NSDictionary* self, SEL, NSString* path, BOOL atomically) -> BOOL {
                        return self->writeToFile_atomically(path, atomically);
                      });
    return registered;
  }();
  return cls;
}

Retained<NSDictionary> NSDictionary::dictionary() {
  return objc::alloc<NSDictionary>();
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

namespace {

/// Before a change of the preferences replaces a file that cannot be read as
/// a dictionary, it keeps that file as "<file>.unreadable" (the newest such
/// file wins), so that what the file held is not lost. False if it could not.
bool keepUnreadableAside(const NSString* path, const std::string& host) {
  struct stat info {};
  if (::lstat(files::Place(host).path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return true;
  auto file = readPropertyListFile(path->utf8(), foundation::maximumBytesForPropertyListFile(path->utf8()));
  if (file ? objc_cast<NSDictionary>(file->get()) != nullptr : isAbsentFile(file.error())) return true;
  files::Place original(host), aside(host + ".unreadable");
  if (::unlink(aside.path().c_str()) != 0 && errno != ENOENT) return false;
  return ::link(original.path().c_str(), aside.path().c_str()) == 0;
}

}  // namespace

bool NSDictionary::writeToFile_atomically(const NSString* path, bool) const {
  if (!path) return false;
  device::PreferencesChange* change = device::PreferencesChange::current();
  auto failed = [&](const std::string& reason) {
    if (change) change->noteFailure("cannot write " + path->utf8() + ": " + reason);
    return false;
  };
  auto xml = NSPropertyListSerialization::xmlDataWithPropertyList(this);
  if (!xml) return failed("it holds a value that an XML property list cannot hold");
  std::string host = device::hostPath(path->utf8());
  if (change && !keepUnreadableAside(path, host))
    return failed(std::string("cannot keep the unreadable file aside (") + std::strerror(errno) + ")");
  // Even a write not asked to be atomic goes through a temporary file: a
  // reader in another process must never see half a file.
  if (auto written = files::writeAtomically(host, *xml, files::Durability::Flushed); !written)
    return failed(std::strerror(written.error().code()));
  return true;
}

unsigned long long NSDictionary::fileSize() const {
  auto* size = objc_cast<NSNumber>(objectForKey("NSFileSize"));
  return size && size->integerValue() > 0 ? static_cast<unsigned long long>(size->integerValue()) : 0;
}

NSString* NSDictionary::fileType() const { return objc_cast<NSString>(objectForKey("NSFileType")); }

std::string NSDictionary::description() const { return foundation::describeNested(this, 0); }

Class NSMutableDictionary::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSMutableDictionary>("NSMutableDictionary", NSDictionary::class_());
    objc::addFunction(registered, "setObject:forKey:", +[](NSMutableDictionary* self, SEL, id object, NSString* key) {
      self->setObject_forKey(object, key);
    });
    objc::addFunction(registered, "removeObjectForKey:", +[](NSMutableDictionary* self, SEL, NSString* key) {
      if (!key) throw NSInvalidArgumentException("-[NSMutableDictionary removeObjectForKey:]: key cannot be nil");
      self->removeObjectForKey(key->utf8());
    });
    objc::addFunction(registered, "addEntriesFromDictionary:",
                      +[](NSMutableDictionary* self, SEL, NSDictionary* other) {
                        self->addEntriesFromDictionary(other);
                      });
    return registered;
  }();
  return cls;
}

Retained<NSMutableDictionary> NSMutableDictionary::dictionary() {
  return objc::alloc<NSMutableDictionary>();
}

Retained<NSMutableDictionary> NSMutableDictionary::dictionaryWithContentsOfFile(const NSString* path) {
  if (!path) return nullptr;
  auto file = readPropertyListFile(path->utf8(), foundation::maximumBytesForPropertyListFile(path->utf8()));
  if (!file) return nullptr;
  // A parsed dictionary is a new mutable one, held by nobody else: handed on as it is.
  if (auto* parsed = objc_cast<NSMutableDictionary>(file->get())) return Retained<NSMutableDictionary>::retain(parsed);
  auto* dictionary = objc_cast<NSDictionary>(file->get());
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
