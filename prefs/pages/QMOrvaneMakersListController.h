#pragma once

#include "prefs/QMOrvanePage.h"

/// The credits page, from the list "OrvaneMakers".
class QMOrvaneMakersListController : public QMOrvaneListController {
 public:
  static Class class_();
  NSArray* specifiers();
};
