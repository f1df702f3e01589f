#include "platform/foundation/NSFileManager.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <utility>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"

Class NSFileManager::class_() {
  static Class cls = objc_registerCppClass<NSFileManager>("NSFileManager", NSObject::class_());
  return cls;
}

NSFileManager* NSFileManager::defaultManager() {
  static NSFileManager* manager = static_cast<NSFileManager*>(objc_makeImmortal(class_createInstance(class_(), 0)));
  return manager;
}

namespace {

struct Listing {
  bool listed = false;
  Retained<NSArray> names;
};

// Per thread: the open snapshots, and the reads made under them, by kind and host path.
thread_local int snapshotDepth = 0;
thread_local std::map<std::pair<bool, std::string>, Listing> snapshotReads;

/// Reads the directory through `read`, or gives a copy of this snapshot's read of it.
template <typename Read>
Retained<NSArray> listed(bool regularOnly, const std::string& hostPath, Read read) {
  if (snapshotDepth == 0) return read();
  Listing& listing = snapshotReads[{regularOnly, hostPath}];
  if (!listing.listed) listing = {true, read()};
  if (!listing.names) return nullptr;
  auto copy = NSMutableArray::array();
  for (auto& name : *listing.names) copy->addObject(name.get());
  return copy;
}

}  // namespace

foundation::DirectoryListingSnapshot::DirectoryListingSnapshot() { ++snapshotDepth; }

foundation::DirectoryListingSnapshot::~DirectoryListingSnapshot() {
  if (--snapshotDepth == 0) snapshotReads.clear();
}

Retained<NSArray> NSFileManager::contentsOfDirectoryAtPath_error(const NSString* path, void*) {
  if (!path) return nullptr;
  std::string hostPath = device::hostPath(path->utf8());
  return listed(false, hostPath, [&]() -> Retained<NSArray> {
    DIR* directory = opendir(hostPath.c_str());
    if (!directory) return nullptr;
    auto names = NSMutableArray::array();
    while (dirent* entry = readdir(directory)) {
      std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      names->addObject(NSString::stringWithUTF8String(name).get());
    }
    closedir(directory);
    return names;
  });
}

Retained<NSArray> NSFileManager::regularFileNamesInDirectoryAtPath(const NSString* path) {
  if (!path) return nullptr;
  std::string hostPath = device::hostPath(path->utf8());
  return listed(true, hostPath, [&]() -> Retained<NSArray> {
    DIR* directory = opendir(hostPath.c_str());
    if (!directory) return nullptr;
    auto names = NSMutableArray::array();
    while (dirent* entry = readdir(directory)) {
      bool regular = entry->d_type == DT_REG;
      if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
        struct stat info {};
        regular = fstatat(dirfd(directory), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
      }
      if (regular) names->addObject(NSString::stringWithUTF8String(entry->d_name).get());
    }
    closedir(directory);
    return names;
  });
}

Retained<NSDictionary> NSFileManager::attributesOfItemAtPath_error(const NSString* path, void*) {
  if (!path) return nullptr;
  int descriptor = files::openDeviceFile(path->utf8());
  struct stat info {};
  bool found = descriptor >= 0 && fstat(descriptor, &info) == 0;
  if (descriptor >= 0) ::close(descriptor);
  if (!found) return nullptr;
  const char* type = S_ISREG(info.st_mode)    ? "NSFileTypeRegular"
                     : S_ISDIR(info.st_mode)  ? "NSFileTypeDirectory"
                     : S_ISLNK(info.st_mode)  ? "NSFileTypeSymbolicLink"
                     : S_ISCHR(info.st_mode)  ? "NSFileTypeCharacterSpecial"
                     : S_ISBLK(info.st_mode)  ? "NSFileTypeBlockSpecial"
                     : S_ISSOCK(info.st_mode) ? "NSFileTypeSocket"
                                              : "NSFileTypeUnknown";
  auto attributes = NSMutableDictionary::dictionary();
  attributes->setObject_forKey(NSString::stringWithUTF8String(type).get(), "NSFileType");
  attributes->setObject_forKey(NSNumber::numberWithInteger(static_cast<long long>(info.st_size)).get(), "NSFileSize");
  return attributes;
}

bool NSFileManager::fileExistsAtPath_isDirectory(const NSString* path, bool* isDirectory) {
  struct stat info {};
  if (!path || stat(device::hostPath(path->utf8()).c_str(), &info) != 0) return false;
  if (isDirectory) *isDirectory = S_ISDIR(info.st_mode);
  return true;
}

namespace {
[[maybe_unused]] const Class registered = NSFileManager::class_();
}
