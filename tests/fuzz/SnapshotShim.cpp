// The hook's snapshot load, reached from a fuzz target built on the stand-in's
// headers: C functions are all that cross between the two.

#include "hook/Snapshot.h"
#include "platform/objc/AutoreleasePool.h"

namespace {
const char* textOf(NSString* name) { return name ? name->UTF8String() : nullptr; }
}  // namespace

extern "C" __attribute__((visibility("default"))) void snapshotShimLoad() {
  AutoreleasePool pool;
  orvane::loadPreferences();
}

/// The chosen name of the sound for a press up (or down), nil when none is kept.
extern "C" __attribute__((visibility("default"))) const char* snapshotShimSelected(bool up) {
  return textOf(up ? kSelectedVolumeIncreaseSound : kSelectedVolumeDecreaseSound);
}
