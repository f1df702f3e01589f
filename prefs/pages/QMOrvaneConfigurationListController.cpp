#include "prefs/pages/QMOrvaneConfigurationListController.h"

#include <algorithm>
#include <cctype>

#include "platform/objc/Methods.h"
#include "prefs/pages/ShareAction.h"
#include "prefs/pages/TitledPage.h"

namespace orvane {

Retained<NSArray> soundThemes(NSString* directory) {
  Retained<NSArray> entries = NSFileManager::defaultManager()->contentsOfDirectoryAtPath_error(directory, nullptr);
  if (!entries) return nullptr;
  // Only a name the hook library can turn back into its file is offered.
  std::vector<std::string> names;
  for (auto& entry : *entries) {
    std::string name = foundation::describe(entry.get());
    if (name.size() <= 4 || !name.ends_with(".wav") || name.front() == '.') continue;
    bool directoryEntry = true;
    auto path = NSString::stringWithUTF8String(directory->utf8() + name);
    if (!NSFileManager::defaultManager()->fileExistsAtPath_isDirectory(path, &directoryEntry) || directoryEntry) continue;
    names.push_back(name.substr(0, name.size() - 4));
  }
  auto folded = [](const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower;
  };
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    auto foldedA = folded(a), foldedB = folded(b);
    return foldedA != foldedB ? foldedA < foldedB : a < b;
  });
  auto themes = NSMutableArray::array();
  for (auto& name : names) themes->addObject(NSString::stringWithUTF8String(name).get());
  return themes;
}

}  // namespace orvane

namespace {
constexpr const char* soundDirectory = "/Library/Application Support/Orvane/";
}

Class QMOrvaneConfigurationListController::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<QMOrvaneConfigurationListController>("QMOrvaneConfigurationListController",
                                                                                  QMOrvaneListController::class_());
    objc::addMethod<&QMOrvaneConfigurationListController::specifiers>(registered, "specifiers");
    orvane::registerShareAction<QMOrvaneConfigurationListController>(registered);
    objc::addMethod<&QMOrvaneConfigurationListController::themeTitles>(registered, "themeTitles");
    objc::addMethod<&QMOrvaneConfigurationListController::themeValues>(registered, "themeValues");
    return registered;
  }();
  return cls;
}

NSArray* QMOrvaneConfigurationListController::specifiers() {
  return orvane::titledPageSpecifiers(this, _specifiers, NSSTR("OrvaneConfiguration"), NSSTR("CONFIGURATION"));
}

NSArray* QMOrvaneConfigurationListController::themeTitles() { return orvane::soundThemes(NSSTR(soundDirectory)).autorelease(); }

NSArray* QMOrvaneConfigurationListController::themeValues() { return orvane::soundThemes(NSSTR(soundDirectory)).autorelease(); }

namespace {
[[maybe_unused]] const Class registered = QMOrvaneConfigurationListController::class_();
}
