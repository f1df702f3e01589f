#include "platform/mobilegestalt/MobileGestalt.h"

#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"

extern "C" NSObject* MGCopyAnswer(NSString* question) {
  if (!question) return nullptr;
  const std::string& key = question->utf8();
  if (key == "ProductType") return NSString::stringWithUTF8String(device::setting("Model").value_or("iPhone7,2")).leak();
  const char* systemKey = key == "ProductVersion" ? "ProductVersion" : key == "BuildVersion" ? "ProductBuildVersion" : nullptr;
  if (!systemKey) return nullptr;
  auto system = NSDictionary::dictionaryWithContentsOfFile(NSSTR("/System/Library/CoreServices/SystemVersion.plist"));
  auto* answer = system ? objc_cast<NSString>(system->objectForKey(systemKey)) : nullptr;
  return answer ? Retained<NSString>::retain(answer).leak() : nullptr;
}
