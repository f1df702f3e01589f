#include "prefs/pages/TitledPage.h"

#include "platform/objc/Methods.h"
#include "prefs/QMOrvaneLocalizer.h"

namespace orvane {

NSArray* titledPageSpecifiers(QMOrvaneListController* page, Retained<NSArray>& specifiers, NSString* plistName,
                              NSString* titleKey) {
  if (!specifiers) specifiers = Retained<NSArray>::adopt(objc::send<NSArray*>(page, "specifiersForPlistName:", plistName));
  page->setTitle(QMOrvaneLocalizer::sharedLocalizer()->localizedStringForKey(titleKey));
  return specifiers.get();
}

}  // namespace orvane
