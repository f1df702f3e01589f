#include "platform/foundation/NSFileManager.h"

extern "C" NSString* const NSFileType;
extern "C" NSString* const NSFileTypeRegular;

Retained<NSArray> NSFileManager::regularFileNamesInDirectoryAtPath(const NSString* path) {
  Retained<NSArray> names = contentsOfDirectoryAtPath_error(path, nullptr);
  if (!names) return nullptr;
  Retained<NSString> directory = path->hasSuffix(NSSTR("/")) ? objc::retain(const_cast<NSString*>(path))
                                                               : path->stringByAppendingString(NSSTR("/"));
  auto regular = NSMutableArray::array();
  for (unsigned long index = 0; index < names->count(); ++index) {
    auto* name = static_cast<NSString*>(names->objectAtIndex(index));
    // attributesOfItemAtPath: describes a link itself, so a theme that is a link is looked at where it leads.
    Retained<NSString> item = directory->stringByAppendingString(name);
    auto* resolved = objc::sendMessage<NSString*>(item.get(), ORVANE_SEL("stringByResolvingSymlinksInPath"));
    Retained<NSDictionary> attributes = attributesOfItemAtPath_error(resolved, nullptr);
    auto* type = attributes ? static_cast<NSString*>(attributes->objectForKey(NSFileType)) : nullptr;
    if (type && type->isEqualToString(NSFileTypeRegular)) regular->addObject(name);
  }
  return regular;
}
