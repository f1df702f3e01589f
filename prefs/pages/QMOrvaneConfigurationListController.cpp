#include "prefs/pages/QMOrvaneConfigurationListController.h"

#include <string>
#include <string_view>

#include "contract/Orvane.h"
#include "platform/objc/Methods.h"
#include "prefs/pages/ShareAction.h"
#include "prefs/pages/TitledPage.h"
#include "support/Objects.h"

namespace orvane {

Retained<NSArray> soundThemes(NSString* directory) {
  Retained<NSArray> entries = NSFileManager::defaultManager()->contentsOfDirectoryAtPath_error(directory, nullptr);
  if (!entries) return nullptr;
  auto themes = NSMutableArray::array();
  for (auto& entry : *entries) {
    auto* name = static_cast<NSString*>(entry.get());
    // Only a final ".wav" goes: taking out every one would offer "my.wave.wav"
    // as "mye", a name that leads to no file.
    const std::string text = utf8(name);
    std::string_view extension = contract::soundExtension;
    if (text.ends_with(extension))
      themes->addObject(
          NSString::stringWithUTF8String(std::string_view(text).substr(0, text.size() - extension.size())).get());
    else
      themes->addObject(name);
  }
  return themes;
}

}  // namespace orvane

Class QMOrvaneConfigurationListController::class_() {
  using Page = QMOrvaneConfigurationListController;
  using objc::method;
  static Class cls = objc::defineClass({
      .name = "QMOrvaneConfigurationListController",
      .superclass = QMOrvaneListController::class_(),
      .methods = objc::join({{method<&Page::specifiers>(orvane::sel::specifiers),
                              method<&Page::themeTitles>(orvane::sel::themeTitles),
                              method<&Page::themeValues>(orvane::sel::themeValues)},
                             orvane::shareActionMethods<Page>()}),
  });
  return cls;
}

NSArray* QMOrvaneConfigurationListController::specifiers() {
  return orvane::titledPageSpecifiers(this, NSSTR("OrvaneConfiguration"), NSSTR("CONFIGURATION"));
}

NSArray* QMOrvaneConfigurationListController::themeTitles() {
  return orvane::soundThemes(NSSTR(orvane::contract::soundDirectory)).autorelease();
}

NSArray* QMOrvaneConfigurationListController::themeValues() {
  return orvane::soundThemes(NSSTR(orvane::contract::soundDirectory)).autorelease();
}
