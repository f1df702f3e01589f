#pragma once

#include <string>

#include "platform/foundation/NSBundle.h"
#include "platform/objc/Retained.h"
#include "platform/result/Result.h"

namespace settings {

/// A preference bundle as Settings opens it from its entry in
/// /Library/PreferenceLoader/Preferences: loaded, its principal class known.
struct LoadedBundle {
  /// What the Settings list shows for the entry ("label", else the bundle's name).
  std::string label;
  Retained<NSBundle> bundle;
  /// The principal class, a PSListController: the entry's first page.
  Class pageClass = nullptr;
};

/// Reads the entry ENTRYNAME.plist (a dictionary "entry" naming its "bundle"),
/// loads the bundle's executable, and finds its principal class. The error
/// names the file that is missing or wrong.
orvane::Result<LoadedBundle> loadEntry(const std::string& entryName);

}  // namespace settings
