#include "platform/foundation/NSFileManager.h"

#include "platform/objc/Methods.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/propertylist/PropertyListText.h"

Class NSFileManager::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSFileManager>("NSFileManager", NSObject::class_());
    objc::addClassFunction(registered, "defaultManager", +[](Class, SEL) { return defaultManager(); });
    objc::addFunction(registered, "contentsOfDirectoryAtPath:error:",
                      +[](NSFileManager* self, SEL, NSString* path, void* error) {
                        return self->contentsOfDirectoryAtPath_error(path, error).autorelease();
                      });
    objc::addFunction(registered, "attributesOfItemAtPath:error:",
                      +[](NSFileManager* self, SEL, NSString* path, void* error) {
                        return self->attributesOfItemAtPath_error(path, error).autorelease();
                      });
    return registered;
  }();
  return cls;
}

NSFileManager* NSFileManager::defaultManager() {
  static NSFileManager* manager = static_cast<NSFileManager*>(objc_makeImmortal(class_createInstance(class_(), 0)));
  return manager;
}

namespace {

/// An entry as HFS+ orders its catalogue: by name without regard to case.
/// Names that differ only in case (possible on the host) keep a fixed order.
struct ListedName {
  std::string folded, name;
  bool operator<(const ListedName& other) const {
    return folded != other.folded ? folded < other.folded : name < other.name;
  }
};

}  // namespace

Retained<NSArray> NSFileManager::contentsOfDirectoryAtPath_error(const NSString* path, void*) {
  if (!path) return nullptr;
  DIR* directory = opendir(device::hostPath(path->utf8()).c_str());
  if (!directory) return nullptr;
  std::vector<ListedName> found;
  while (dirent* entry = readdir(directory)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string folded(name);
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    found.push_back({std::move(folded), std::string(name)});
  }
  closedir(directory);
  std::sort(found.begin(), found.end());
  auto names = NSMutableArray::array();
  // The platform's file systems hold only Unicode names; the host's may hold
  // any bytes, which are shown as the platform would show text it cannot read.
  for (const ListedName& entry : found)
    names->addObject(NSString::stringWithUTF8String(foundation::wellFormedUtf8(entry.name)).get());
  return names;
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
