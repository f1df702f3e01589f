#include "prefs/pages/TitledPage.h"

#include "platform/objc/Methods.h"
#include "prefs/QMOrvaneLocalizer.h"

namespace orvane {
namespace {
// The platform page's rows, which it owns.
constexpr objc::InstanceVariable<NSArray*> pageSpecifiers{"_specifiers"};
}  // namespace

NSArray* loadedSpecifiers(QMOrvaneListController* page, NSString* plistName) {
  NSArray*& specifiers = pageSpecifiers.of(page);
  // "specifiersForPlistName:" hands over +1, which the owning variable keeps.
  if (!specifiers) specifiers = objc::send<NSArray*>(page, sel::specifiersForPlistName, plistName);
  return specifiers;
}

NSArray* titledPageSpecifiers(QMOrvaneListController* page, NSString* plistName, NSString* titleKey) {
  NSArray* specifiers = loadedSpecifiers(page, plistName);
  page->setTitle(QMOrvaneLocalizer::sharedLocalizer()->localizedStringForKey(titleKey).get());
  return specifiers;
}

}  // namespace orvane
