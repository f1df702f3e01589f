#include "hook/Initialisers.h"
#include "hook/Snapshot.h"
#include "hook/ThemeSound.h"
#include "platform/atomic/AtomicRef.h"
#include "platform/foundation/Foundation.h"
#include "platform/substrate/CydiaSubstrate.h"

namespace orvane {
namespace {

using VolumeImplementation = void (*)(id, SEL);

VolumeImplementation previousIncreaseVolume;
VolumeImplementation previousDecreaseVolume;
SEL playSelector;

void playInDirection(id self, NSString*& snapshotName) {
  if (!AtomicRef(kEnabled).load(std::memory_order_acquire)) return;
  NSString* name = AtomicRef(snapshotName).load(std::memory_order_acquire);
  objc_msgSend(self, playSelector, static_cast<id>(name));
}

void increaseVolume(id self, SEL _cmd) {
  previousIncreaseVolume(self, _cmd);
  playInDirection(self, kSelectedVolumeIncreaseSound);
}

void decreaseVolume(id self, SEL _cmd) {
  previousDecreaseVolume(self, _cmd);
  playInDirection(self, kSelectedVolumeDecreaseSound);
}

/// merrowPlayMySong: plays the theme file of that name from the sound directory.
void playMySong(id, SEL, id name) { playTheme(name); }

}  // namespace
}  // namespace orvane

void orvane::installHooks() {
  playSelector = sel_registerName("merrowPlayMySong:");
  Class volumeControl = objc_getClass("VolumeControl");
  if (!volumeControl) return;
  MSHookMessageEx(volumeControl, sel_registerName("increaseVolume"), reinterpret_cast<IMP>(&increaseVolume),
                  reinterpret_cast<IMP*>(&previousIncreaseVolume));
  MSHookMessageEx(volumeControl, sel_registerName("decreaseVolume"), reinterpret_cast<IMP>(&decreaseVolume),
                  reinterpret_cast<IMP*>(&previousDecreaseVolume));
  class_addMethod(volumeControl, playSelector, reinterpret_cast<IMP>(&playMySong), "v@:@");
}
