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
  /// file system lists them; nil if the directory cannot be listed.
  Retained<NSArray> contentsOfDirectoryAtPath_error(const NSString* path, void* error);
  /// The names of the regular files in a directory (links followed), as the
  /// listing's file types tell; nil if the directory cannot be listed.
  Retained<NSArray> regularFileNamesInDirectoryAtPath(const NSString* path);
  /// What the file system says of the item at the path (links followed, never
  /// out of the device): "NSFileType" ("NSFileTypeRegular", "NSFileTypeDirectory",
  /// ...) and "NSFileSize"; nil if there is nothing there or it cannot be opened.
  Retained<NSDictionary> attributesOfItemAtPath_error(const NSString* path, void* error);
  /// Whether something is at the path, and whether it is a directory.
  bool fileExistsAtPath_isDirectory(const NSString* path, bool* isDirectory);
};

namespace foundation {

/// While one lives on this thread, each directory is read once: listing it
/// again gives the names of that read (in a new array). A page opens one while
/// it builds, so that every source of its rows sees the same listing.
class DirectoryListingSnapshot {
 public:
  DirectoryListingSnapshot();
  ~DirectoryListingSnapshot();
  DirectoryListingSnapshot(const DirectoryListingSnapshot&) = delete;
  DirectoryListingSnapshot& operator=(const DirectoryListingSnapshot&) = delete;
};

}  // namespace foundation
