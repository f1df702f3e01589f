#pragma once

#include "platform/objc/NSObject.h"

class NSArray;
class NSDictionary;
class NSString;

class NSFileManager : public NSObject {
 public:
  static Class class_();
  static NSFileManager* defaultManager();

  /// The names of the directory's entries (not "." and ".."), in the order the
  /// device's file system (HFS+) lists them: by name, letters of either case
  /// alike; nil if the directory cannot be listed.
  Retained<NSArray> contentsOfDirectoryAtPath_error(const NSString* path, void* error);
  /// What the file system says of the item at the path (links followed, never
  /// out of the device): "NSFileType" ("NSFileTypeRegular", "NSFileTypeDirectory",
  /// ...) and "NSFileSize"; nil if there is nothing there or it cannot be opened.
  Retained<NSDictionary> attributesOfItemAtPath_error(const NSString* path, void* error);
  /// Whether something is at the path, and whether it is a directory.
  bool fileExistsAtPath_isDirectory(const NSString* path, bool* isDirectory);
};
