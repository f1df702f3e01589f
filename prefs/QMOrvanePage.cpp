#include "prefs/QMOrvanePage.h"

#include "contract/Orvane.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/objc/Methods.h"
#include "prefs/QMOrvaneLocalizer.h"
#include "support/Objects.h"

namespace {

// Versions whose Settings app nests a bundle's pages in a navigation controller of their own.
constexpr double nestedBarsFirst = 1140.1;
constexpr double nestedBarsLast = 1141.18;

Retained<UIColor> colour(int red, int green, int blue) {
  return UIColor::colorWithRed_green_blue_alpha(static_cast<float>(red) / 255.0f, static_cast<float>(green) / 255.0f,
                                                static_cast<float>(blue) / 255.0f, 1);
}

Retained<UIColor> themeColour() { return colour(65, 169, 214); }

/// The bar the page themes; nil where the way to it is broken.
UINavigationBar* themedBar(UIViewController* page) {
  UINavigationController* navigation = page->navigationController();
  double version = kCFCoreFoundationVersionNumber;
  if (version >= nestedBarsFirst && version <= nestedBarsLast) navigation = navigation ? navigation->navigationController() : nullptr;
  return navigation ? navigation->navigationBar() : nullptr;
}

}  // namespace

template <class Self, class Base>
objc::ClassDefinition QMOrvanePage<Self, Base>::definition(const char* name, Class superclass) {
  using objc::method;
  using Page = QMOrvanePage;
  return {.name = name,
          .superclass = superclass,
          .ivars = {orvane::prevStatusStyle},
          .methods = {
              method<&Page::specifiersForPlistName>(orvane::sel::specifiersForPlistName),
              method<&Page::readPreferenceValue>(orvane::sel::readPreferenceValue),
              method<&Page::setPreferenceValue_specifier>(orvane::sel::setPreferenceValue_specifier),
              method<&Page::viewWillAppear>(orvane::sel::viewWillAppear),
              method<&Page::viewWillDisappear>(orvane::sel::viewWillDisappear),
              method<&Page::tableView_cellForRowAtIndexPath>(orvane::sel::tableView_cellForRowAtIndexPath),
          }};
}

template <class Self, class Base>
NSArray* QMOrvanePage<Self, Base>::specifiersForPlistName(NSString* name) {
  auto* loaded =
      objc::send<NSArray*>(this, orvane::sel::loadSpecifiersFromPlistName_target, name, static_cast<NSObject*>(this));
  if (!loaded) return nullptr;
  objc_retain(loaded);
  return QMOrvaneLocalizer::sharedLocalizer()->localizedSpecifiersForSpecifiers(loaded);
}

template <class Self, class Base>
objc_object* QMOrvanePage<Self, Base>::readPreferenceValue(PSSpecifier* specifier) {
  if (!specifier) return nullptr;
  auto preferences = NSDictionary::dictionaryWithContentsOfFile(NSSTR(orvane::contract::preferencesPath));
  auto* key = orvane::as<NSString>(specifier->propertyForKey(NSSTR("key")));
  objc_object* value = preferences && key ? preferences->objectForKey(key) : nullptr;
  if (!value) return specifier->propertyForKey(NSSTR("default"));
  return Retained<objc_object>::retain(value).autorelease();
}

template <class Self, class Base>
void QMOrvanePage<Self, Base>::setPreferenceValue_specifier(objc_object* value, PSSpecifier* specifier) {
  if (!specifier) return;
  auto preferences = NSMutableDictionary::dictionary();
  auto stored = NSDictionary::dictionaryWithContentsOfFile(NSSTR(orvane::contract::preferencesPath));
  preferences->addEntriesFromDictionary(stored.get());
  // The platform would raise for a row without key or a change without value; such a change stores nothing.
  if (auto* key = orvane::as<NSString>(specifier->propertyForKey(NSSTR("key"))); key && value) {
    preferences->setObject_forKey(value, key);
    preferences->writeToFile_atomically(NSSTR(orvane::contract::preferencesPath), true);
  }
  if (auto* name = orvane::as<NSString>(specifier->propertyForKey(NSSTR("PostNotification"))))
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), name, nullptr, nullptr, true);
}

template <class Self, class Base>
void QMOrvanePage<Self, Base>::viewWillAppear(bool animated) {
  objc::sendSuper(Self::class_(), this, orvane::sel::viewWillAppear, animated);
  if (UINavigationBar* bar = themedBar(this)) {
    bar->setTintColor(UIColor::colorWithRed_green_blue_alpha(1, 1, 1, 1).get());
    bar->setBarTintColor(themeColour().get());
    auto attributes = NSMutableDictionary::dictionary();
    attributes->setObject_forKey(UIColor::whiteColor(), NSForegroundColorAttributeName);
    bar->setTitleTextAttributes(attributes.get());
  }
  UISwitch::appearanceWhenContainedIn(object_getClass(this))->setOnTintColor(themeColour().get());
  UIApplication* application = UIApplication::sharedApplication();
  orvane::prevStatusStyle.of(this) = application->statusBarStyle();
  application->setStatusBarStyle(UIStatusBarStyleLightContent);
}

template <class Self, class Base>
void QMOrvanePage<Self, Base>::viewWillDisappear(bool animated) {
  objc::sendSuper(Self::class_(), this, orvane::sel::viewWillDisappear, animated);
  if (UINavigationBar* bar = themedBar(this)) {
    bar->setTintColor(nullptr);
    bar->setBarTintColor(nullptr);
    bar->setTitleTextAttributes(nullptr);
  }
  UIApplication::sharedApplication()->setStatusBarStyle(orvane::prevStatusStyle.of(this));
}

template <class Self, class Base>
UITableViewCell* QMOrvanePage<Self, Base>::tableView_cellForRowAtIndexPath(UITableView* table, NSIndexPath* path) {
  auto* cell =
      objc::sendSuper<UITableViewCell*>(Self::class_(), this, orvane::sel::tableView_cellForRowAtIndexPath, table, path);
  if (cell && cell->respondsToSelector(orvane::sel::titleLabel))
    if (auto* label = objc::send<UILabel*>(cell, orvane::sel::titleLabel)) label->setTextColor(colour(22, 36, 51).get());
  return cell;
}

template class QMOrvanePage<QMOrvaneListController, PSListController>;
template class QMOrvanePage<QMOrvaneListItemsController, PSListItemsController>;

Class QMOrvaneListController::class_() {
  static Class cls = objc::defineClass(definition("QMOrvaneListController", PSListController::class_()));
  return cls;
}

Class QMOrvaneListItemsController::class_() {
  static Class cls = objc::defineClass(definition("QMOrvaneListItemsController", PSListItemsController::class_()));
  return cls;
}
