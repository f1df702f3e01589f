#pragma once

#include "prefs/QMOrvanePage.h"

namespace orvane {

/// The rows of a page titled from the string tables: loaded from the named
/// list while the page has none (an empty list counts as loaded), and the
/// title set on every call.
NSArray* titledPageSpecifiers(QMOrvaneListController* page, Retained<NSArray>& specifiers, NSString* plistName,
                              NSString* titleKey);

}  // namespace orvane
