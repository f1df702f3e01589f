#pragma once

#include "prefs/QMOrvanePage.h"

namespace orvane {

/// The rows of a page titled from the string tables: loaded into the page's
/// "_specifiers" from the named list while it has none (an empty list counts
/// as loaded), and the title set on every call.
NSArray* titledPageSpecifiers(QMOrvaneListController* page, NSString* plistName, NSString* titleKey);

/// The page's "_specifiers", loaded from the named list while it has none.
NSArray* loadedSpecifiers(QMOrvaneListController* page, NSString* plistName);

}  // namespace orvane
