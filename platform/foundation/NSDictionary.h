#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/objc/NSObject.h"

class NSString;
class NSArray;

/// A dictionary with string keys, as property lists hold them.
class NSDictionary : public NSObject {
 public:
  static Class class_();
  static Retained<NSDictionary> dictionary();
  /// The property list at a device path, or nil if it is missing, no
  /// property list, or its root is not a dictionary.
  static Retained<NSDictionary> dictionaryWithContentsOfFile(const NSString* path);

  std::size_t count() const { return entries_.size(); }
  objc_object* objectForKey(const NSString* key) const;
  objc_object* objectForKey(std::string_view key) const;
  Retained<NSArray> allKeys() const;
  /// The stand-in's own way to its entries, for the platform layer and the
  /// simulator; the device's dictionary has none, so product code never calls it.
  const std::map<std::string, Retained<objc_object>>& entries() const { return entries_; }
  /// Of a file's attributes: its "NSFileSize", or 0; its "NSFileType", or nil.
  unsigned long long fileSize() const;
  NSString* fileType() const;

  /// Writes an XML property list; atomically means through a temporary file
  /// renamed into place. False if the contents are no property list or the
  /// file cannot be written. Within a device::PreferencesChange the failure is
  /// noted there, and a file that cannot be read as a dictionary is kept as
  /// "<file>.unreadable" before it is replaced.
  bool writeToFile_atomically(const NSString* path, bool atomically) const;

  std::string description() const override;

 protected:
  friend class NSPropertyListSerialization;
  std::map<std::string, Retained<objc_object>> entries_;
};

class NSMutableDictionary : public NSDictionary {
 public:
  static Class class_();
  static Retained<NSMutableDictionary> dictionary();
  static Retained<NSMutableDictionary> dictionaryWithContentsOfFile(const NSString* path);

  void setObject_forKey(objc_object* object, const NSString* key);
  void setObject_forKey(objc_object* object, std::string_view key);
  void removeObjectForKey(std::string_view key) { entries_.erase(std::string(key)); }
  void addEntriesFromDictionary(const NSDictionary* other);
};
