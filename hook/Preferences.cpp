#include "contract/Orvane.h"
#include "hook/Initialisers.h"
#include "hook/Snapshot.h"
#include "hook/ThemeNames.h"
#include "hook/ThemeSound.h"
#include "platform/atomic/AtomicRef.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/foundation/Foundation.h"
#include "support/Objects.h"

#define ORVANE_EXPORT __attribute__((visibility("default")))

extern "C" {
ORVANE_EXPORT BOOL kEnabled;
ORVANE_EXPORT NSString* kSelectedVolumeIncreaseSound;
ORVANE_EXPORT NSString* kSelectedVolumeDecreaseSound;
}

namespace orvane {
namespace {

/// The truth value of a stored switch. A value of a kind that has none counts
/// as no value, rather than failing the way the platform's message would.
bool truthValue(objc_object* value, bool absent) {
  if (auto* number = orvane::as<NSNumber>(value)) return number->boolValue();
  if (auto* text = orvane::as<NSString>(value)) return text->boolValue();
  return absent;
}

/// The name's text, kept: a reload of the same name costs no memory, and a
/// name a hook has read stays valid for the life of the process. A text that
/// could name no file is not kept and becomes no name, which plays nothing, as
/// does a new name once the hook keeps too many.
NSString* themeName(objc_object* value) {
  if (!value) return NSSTR(contract::defaultTheme);
  auto* text = orvane::as<NSString>(value);
  std::string name = text ? utf8(text) : describe(value);
  return couldNameThemeFile(name) ? keptThemeName(name) : nullptr;
}

void settingsChanged(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) { loadPreferences(); }

}  // namespace

void loadPreferences() {
  Retained<NSMutableDictionary> preferences =
      NSMutableDictionary::dictionaryWithContentsOfFile(NSSTR(contract::preferencesPathPrivate));
  if (!preferences) return;
  AtomicRef(kEnabled).store(
      truthValue(preferences->objectForKey(NSSTR(contract::enabledKey)), contract::enabledWhenAbsent),
      std::memory_order_release);
  AtomicRef(kSelectedVolumeIncreaseSound)
      .store(themeName(preferences->objectForKey(NSSTR(contract::increaseSoundKey))), std::memory_order_release);
  AtomicRef(kSelectedVolumeDecreaseSound)
      .store(themeName(preferences->objectForKey(NSSTR(contract::decreaseSoundKey))), std::memory_order_release);
}

}  // namespace orvane

void orvane::startUp() {
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, settingsChanged,
                                  NSSTR(contract::settingsChanged), nullptr,
                                  CFNotificationSuspensionBehaviorCoalesce);
  loadPreferences();
}
