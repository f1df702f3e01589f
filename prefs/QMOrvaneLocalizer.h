#pragma once

#include "platform/foundation/Foundation.h"
#include "platform/foundation/NSBundle.h"

/// Looks texts up in the settings bundle's string tables and localises
/// freshly loaded specifiers in place. One shared instance per process.
/// A runtime class of the bundle: no state of its own.
class QMOrvaneLocalizer : public NSObject {
 public:
  static Class class_();
  static QMOrvaneLocalizer* sharedLocalizer();

  /// The bundle at "/Library/PreferenceBundles/Orvane.bundle", looked up on every access.
  NSBundle* localizationBundle();
  Retained<NSString> localizedStringForKey_inTable(NSString* key, NSString* table);
  Retained<NSString> localizedStringForKey(NSString* key);
  /// The same array, each specifier's name, footer, titles and short titles localised.
  NSArray* localizedSpecifiersForSpecifiers_inTable(NSArray* specifiers, NSString* table);
  NSArray* localizedSpecifiersForSpecifiers(NSArray* specifiers);
  void loadLocalizedSpecifiersForSpecifiers_intoArray(NSArray* specifiers, NSArray** array);

 private:
  // The runtime's "localizedStringForKey:inTable:" and "localizedStringForKey:", autoreleased.
  NSString* autoreleasedStringForKey_inTable(NSString* key, NSString* table);
  NSString* autoreleasedStringForKey(NSString* key);
};
