#include "sim/settings/SettingsEntry.h"

#include <dlfcn.h>

#include "platform/device/Device.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/objc/Methods.h"
#include "platform/preferences/PSListController.h"

using orvane::Error;

orvane::Result<settings::LoadedBundle> settings::loadEntry(const std::string& entryName) {
  std::string entryPath = "/Library/PreferenceLoader/Preferences/" + entryName + ".plist";
  auto entryList = NSDictionary::dictionaryWithContentsOfFile(NSString::stringWithUTF8String(entryPath).get());
  auto* entry = entryList ? objc_cast<NSDictionary>(entryList->objectForKey("entry")) : nullptr;
  auto* bundleName = entry ? objc_cast<NSString>(entry->objectForKey("bundle")) : nullptr;
  if (!bundleName) return Error("no Settings entry at " + entryPath + " (a dictionary \"entry\" naming its \"bundle\")");
  LoadedBundle loaded;
  auto* label = objc_cast<NSString>(entry->objectForKey("label"));
  loaded.label = label ? label->utf8() : bundleName->utf8();
  std::string bundlePath = "/Library/PreferenceBundles/" + bundleName->utf8() + ".bundle";
  loaded.bundle = Retained<NSBundle>::retain(NSBundle::bundleWithPath(NSString::stringWithUTF8String(bundlePath).get()));
  if (!loaded.bundle) return Error("the bundle " + bundlePath + " is missing");
  auto* executable = objc_cast<NSString>(loaded.bundle->objectForInfoDictionaryKey("CFBundleExecutable"));
  std::string executablePath = bundlePath + "/" + (executable ? executable->utf8() : bundleName->utf8());
  if (!dlopen(device::hostPath(executablePath).c_str(), RTLD_NOW | RTLD_GLOBAL)) {
    const char* why = dlerror();
    return Error("the bundle " + bundlePath + " failed to load: " + (why ? why : "unknown error"));
  }
  auto* principal = objc_cast<NSString>(loaded.bundle->objectForInfoDictionaryKey("NSPrincipalClass"));
  if (!principal) return Error("the bundle " + bundlePath + " names no principal class (NSPrincipalClass in its Info.plist)");
  loaded.pageClass = objc_getClass(principal->utf8().c_str());
  if (!loaded.pageClass || !class_isSubclassOf(loaded.pageClass, PSListController::class_()))
    return Error("the bundle " + bundlePath + " has no principal class " + principal->utf8() +
                 (loaded.pageClass ? " that is a PSListController" : ""));
  return loaded;
}
