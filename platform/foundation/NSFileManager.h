#pragma once

#include "platform/objc/NSObject.h"

class NSArray;
class NSString;

class NSFileManager : public NSObject {
 public:
  static Class class_();
  static NSFileManager* defaultManager();

  /// The names of the directory's entries (not "." and ".."), in the order the
  /// file system lists them; nil if the directory cannot be listed.
  Retained<NSArray> contentsOfDirectoryAtPath_error(const NSString* path, void* error);
  /// Whether something is at the path, and whether it is a directory.
  bool fileExistsAtPath_isDirectory(const NSString* path, bool* isDirectory);
};
