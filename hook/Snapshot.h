#pragma once

#include "platform/foundation/NSString.h"
#include "platform/objc/runtime.h"

// The preferences snapshot: written by the settings-changed callback on the
// notify centre's thread, read by the volume hooks on SpringBoard's thread.
// Always touched through orvane::AtomicRef, with release stores and acquire loads.
extern "C" {
extern BOOL kEnabled;
extern NSString* kSelectedVolumeIncreaseSound;
extern NSString* kSelectedVolumeDecreaseSound;
}

namespace orvane {

/// Refreshes the snapshot from the preferences file; a file that cannot be
/// read as a dictionary leaves it as it is.
void loadPreferences();

}  // namespace orvane
