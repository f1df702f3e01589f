#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "contract/Orvane.h"
#include "platform/objc/Methods.h"
#include "platform/preferences/PSListController.h"
#include "tests/support/TemporaryDevice.h"

// The settings bundle inside a temporary device: the built one, or a small
// one of a test's own with the built library beside the test's resources.
namespace settingsbundle {

constexpr const char* bundlePath = orvane::contract::bundlePath.c_str();
constexpr const char* preferencesPath = orvane::contract::preferencesPathUser.c_str();
constexpr const char* settingsChanged = orvane::contract::settingsChanged.c_str();

inline const char* infoPlist =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
    "<key>CFBundleDevelopmentRegion</key><string>en</string>"
    "<key>CFBundleExecutable</key><string>Orvane</string></dict></plist>\n";

inline NSBundle* load(const testsupport::TemporaryDevice& device) {
  std::string library = device.host(bundlePath) + "/Orvane";
  // RTLD_GLOBAL as the Settings app loads it: classes of the bundle are found by name.
  if (!dlopen(library.c_str(), RTLD_NOW | RTLD_GLOBAL)) ADD_FAILURE() << dlerror();
  return NSBundle::bundleWithPath(NSSTR(bundlePath));
}

/// Installs the built bundle and loads its library.
inline NSBundle* installBuilt(const testsupport::TemporaryDevice& device) {
  std::filesystem::copy(ORVANE_BUNDLE_DIR, device.host(bundlePath), std::filesystem::copy_options::recursive);
  return load(device);
}

/// A bundle of the given files (bundle-relative path to contents), with an
/// Info.plist unless given and the built library.
inline NSBundle* installOwn(const testsupport::TemporaryDevice& device, std::map<std::string, std::string> files) {
  files.try_emplace("Info.plist", infoPlist);
  for (auto& [name, contents] : files) testsupport::writeFile(device.host(bundlePath) + "/" + name, contents);
  std::filesystem::copy_file(std::string(ORVANE_BUNDLE_DIR) + "/Orvane", device.host(bundlePath) + "/Orvane");
  return load(device);
}

inline Class classNamed(const char* name) {
  Class cls = objc_getClass(name);
  if (!cls) ADD_FAILURE() << "no class " << name;
  return cls;
}

/// A fresh page of a bundle class, its property lists taken from `bundle`.
inline Retained<PSListController> page(const char* className, NSBundle* bundle) {
  Retained<UIViewController> made = UIViewController::controller(classNamed(className));
  auto* list = objc_cast<PSListController>(made.get());
  if (list) list->setBundle(bundle);
  return objc::retain(list);
}

/// The specifiers a page loads for a list of its bundle: "specifiersForPlistName:" hands them over +1.
inline Retained<NSArray> specifiersFor(PSListController* page, const char* plistName) {
  return Retained<NSArray>::adopt(objc::send<NSArray*>(page, "specifiersForPlistName:", NSSTR(plistName)));
}

/// A property list of rows ("items").
inline std::string specifierList(const std::string& items, const std::string& extra = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + extra +
         "<key>items</key><array>" + items + "</array></dict></plist>\n";
}

}  // namespace settingsbundle
