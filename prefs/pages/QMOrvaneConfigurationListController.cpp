#include "prefs/pages/QMOrvaneConfigurationListController.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "hook/InstallRoot.h"
#include "platform/objc/Methods.h"
#include "prefs/pages/ShareAction.h"
#include "prefs/pages/TitledPage.h"

namespace orvane {

Retained<NSArray> soundThemes(NSString* directory) {
  Retained<NSArray> files = NSFileManager::defaultManager()->regularFileNamesInDirectoryAtPath(directory);
  if (!files) return nullptr;
  // Only a name the hook library can turn back into its file is offered.
  struct Theme {
    std::string folded, name;
  };
  std::vector<Theme> themes;
  for (auto& entry : *files) {
    const std::string& file = static_cast<NSString*>(entry.get())->utf8();
    if (file.size() <= 4 || !file.ends_with(".wav") || file.front() == '.') continue;
    std::string name = file.substr(0, file.size() - 4);
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), [](unsigned char c) { return std::tolower(c); });
    themes.push_back({std::move(folded), std::move(name)});
  }
  std::sort(themes.begin(), themes.end(), [](const Theme& a, const Theme& b) {
    return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
  });
  auto list = NSMutableArray::array();
  for (auto& theme : themes) list->addObject(NSString::stringWithUTF8String(theme.name).get());
  return list;
}

}  // namespace orvane

namespace {
constexpr const char* soundDirectory = ORVANE_INSTALL_ROOT "/Library/Application Support/Orvane/";
}

Class QMOrvaneConfigurationListController::class_() {
  using Page = QMOrvaneConfigurationListController;
  static Class cls = objc::defineClass(QMOrvaneListController::class_(), "QMOrvaneConfigurationListController",
                                       [](Class defined) {
                                         objc::addMethod<&Page::specifiers>(defined, "specifiers");
                                         orvane::registerShareAction<Page>(defined);
                                         objc::addMethod<&Page::themeTitles>(defined, "themeTitles");
                                         objc::addMethod<&Page::themeValues>(defined, "themeValues");
                                       });
  return cls;
}

NSArray* QMOrvaneConfigurationListController::specifiers() {
  return orvane::titledPageSpecifiers(this, NSSTR("OrvaneConfiguration"), NSSTR("CONFIGURATION"));
}

NSArray* QMOrvaneConfigurationListController::themeTitles() { return orvane::soundThemes(NSSTR(soundDirectory)).autorelease(); }

NSArray* QMOrvaneConfigurationListController::themeValues() { return orvane::soundThemes(NSSTR(soundDirectory)).autorelease(); }

namespace {
[[maybe_unused]] const Class registered = QMOrvaneConfigurationListController::class_();
}
