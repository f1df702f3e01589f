#include "prefs/QMOrvaneLocalizer.h"

#include "contract/Orvane.h"
#include "platform/dispatch/dispatch.h"
#include "platform/objc/Methods.h"
#include "platform/preferences/PSSpecifier.h"
#include "prefs/Selectors.h"
#include "support/Objects.h"

namespace {

/// A title dictionary rebuilt with its titles localised and its keys (the stored values) kept.
Retained<NSDictionary> localizedTitles(QMOrvaneLocalizer* localizer, NSDictionary* titles, NSString* table) {
  auto localized = NSMutableDictionary::dictionary();
  Retained<NSArray> keys = titles->allKeys();
  for (auto& held : *keys) {
    objc_object* item = held.get();
    auto* key = static_cast<NSString*>(item);  // a stored value, passed on whatever its class
    objc_object* title = titles->objectForKey(key);
    auto* text = orvane::as<NSString>(title);
    if (text) localized->setObject_forKey(localizer->localizedStringForKey_inTable(text, table).get(), key);
    else localized->setObject_forKey(title, key);
  }
  return localized;
}

}  // namespace

Class QMOrvaneLocalizer::class_() {
  using Localizer = QMOrvaneLocalizer;
  using objc::method;
  namespace sel = orvane::sel;
  static Class cls = objc::defineClass({
      .name = "QMOrvaneLocalizer",
      .superclass = NSObject::class_(),
      .methods = {method<&Localizer::localizationBundle>(sel::localizationBundle),
                  method<&Localizer::autoreleasedStringForKey_inTable>(sel::localizedStringForKey_inTable),
                  method<&Localizer::autoreleasedStringForKey>(sel::localizedStringForKey),
                  method<&Localizer::localizedSpecifiersForSpecifiers_inTable>(
                      sel::localizedSpecifiersForSpecifiers_inTable),
                  method<&Localizer::localizedSpecifiersForSpecifiers>(sel::localizedSpecifiersForSpecifiers),
                  method<&Localizer::loadLocalizedSpecifiersForSpecifiers_intoArray>(
                      sel::loadLocalizedSpecifiersForSpecifiers_intoArray)},
      .classMethods = {method(sel::sharedLocalizer, +[](Class, SEL) -> id { return sharedLocalizer(); })},
  });
  return cls;
}

QMOrvaneLocalizer* QMOrvaneLocalizer::sharedLocalizer() {
  static dispatch_once_t once;
  static QMOrvaneLocalizer* shared;
  // The one reference is kept for the life of the process.
  dispatch_once(&once, [] {
    shared = objc::make<QMOrvaneLocalizer>(class_(), orvane::sel::init).leak();
  });
  return shared;
}

NSBundle* QMOrvaneLocalizer::localizationBundle() {
  return NSBundle::bundleWithPath(NSSTR(orvane::contract::bundlePath));
}

Retained<NSString> QMOrvaneLocalizer::localizedStringForKey_inTable(NSString* key, NSString* table) {
  NSBundle* bundle = localizationBundle();
  if (!bundle) return objc::retain(key);
  return bundle->localizedStringForKey_value_table(key, NSSTR(""), table);
}

NSString* QMOrvaneLocalizer::autoreleasedStringForKey_inTable(NSString* key, NSString* table) {
  return localizedStringForKey_inTable(key, table).autorelease();
}

NSString* QMOrvaneLocalizer::autoreleasedStringForKey(NSString* key) { return localizedStringForKey(key).autorelease(); }

Retained<NSString> QMOrvaneLocalizer::localizedStringForKey(NSString* key) {
  return localizedStringForKey_inTable(key, nullptr);
}

NSArray* QMOrvaneLocalizer::localizedSpecifiersForSpecifiers_inTable(NSArray* specifiers, NSString* table) {
  if (!specifiers || specifiers->count() == 0) return specifiers;
  for (auto& item : *specifiers) {
    auto* specifier = orvane::as<PSSpecifier>(item.get());
    if (!specifier) continue;
    if (NSString* name = specifier->name()) specifier->setName(localizedStringForKey_inTable(name, table).get());
    if (auto* footer = orvane::as<NSString>(specifier->propertyForKey(NSSTR("footerText"))))
      specifier->setProperty_forKey(localizedStringForKey_inTable(footer, table).get(), NSSTR("footerText"));
    if (NSDictionary* titles = specifier->titleDictionary())
      specifier->setTitleDictionary(localizedTitles(this, titles, table).get());
    if (NSDictionary* titles = specifier->shortTitleDictionary())
      specifier->setShortTitleDictionary(localizedTitles(this, titles, table).get());
  }
  return specifiers;
}

NSArray* QMOrvaneLocalizer::localizedSpecifiersForSpecifiers(NSArray* specifiers) {
  return localizedSpecifiersForSpecifiers_inTable(specifiers, nullptr);
}

void QMOrvaneLocalizer::loadLocalizedSpecifiersForSpecifiers_intoArray(NSArray* specifiers, NSArray** array) {
  if (array) *array = localizedSpecifiersForSpecifiers(specifiers);
}
