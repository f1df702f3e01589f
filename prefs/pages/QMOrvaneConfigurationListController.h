#pragma once

#include "prefs/QMOrvanePage.h"

/// The page where the two sound themes are picked, from the list "OrvaneConfiguration".
class QMOrvaneConfigurationListController : public QMOrvaneListController {
 public:
  static Class class_();

  NSArray* specifiers();
  /// The installed sound themes, listed afresh: titles and values are the same names.
  NSArray* themeTitles();
  NSArray* themeValues();
};

namespace orvane {

/// The theme names in a sound directory: one per entry, in the listing's order,
/// each less a final ".wav". Nil if the directory cannot be listed.
Retained<NSArray> soundThemes(NSString* directory);

}  // namespace orvane
