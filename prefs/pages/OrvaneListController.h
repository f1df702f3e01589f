#pragma once

#include "prefs/QMOrvanePage.h"

/// The bundle's first page, from the list "Orvane".
class OrvaneListController : public QMOrvaneListController {
 public:
  static Class class_();

  /// The rows, loaded on the first request and kept; a failed load is tried again.
  NSArray* specifiers();
};
