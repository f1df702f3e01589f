#include "prefs/pages/TitledPage.h"

#include "platform/objc/Methods.h"
#include "prefs/QMOrvaneLocalizer.h"

namespace orvane {

NSArray* loadedSpecifiers(QMOrvaneListController* page, NSString* plistName) {
  NSArray*& specifiers = objc::instanceVariable<NSArray*>(page, "_specifiers");
  // "specifiersForPlistName:" hands over +1, which the owning variable keeps.
  if (!specifiers) specifiers = objc::send<NSArray*>(page, "specifiersForPlistName:", plistName);
  return specifiers;
}

NSArray* titledPageSpecifiers(QMOrvaneListController* page, NSString* plistName, NSString* titleKey) {
  NSArray* specifiers = loadedSpecifiers(page, plistName);
  page->setTitle(QMOrvaneLocalizer::sharedLocalizer()->localizedStringForKey(titleKey).get());
  return specifiers;
}

}  // namespace orvane
