#pragma once

#include "platform/messageui/MessageUITypes.h"
#include "prefs/QMOrvanePage.h"

/// The bundle's first page, from the list "Orvane".
class OrvaneListController : public QMOrvaneListController {
 public:
  static Class class_();

  /// The rows, loaded on the first request and kept; a failed load is tried again.
  NSArray* specifiers();
  /// Puts the title logo, invisible, in the bar and starts the timer of its fade-in.
  void viewDidLoad();
  /// Fades the title logo in.
  void increaseAlpha();
  /// A new header view atop the first group; the table's own elsewhere.
  UIView* tableView_viewForHeaderInSection(UITableView* table, long section);
  CGFloat tableView_heightForHeaderInSection(UITableView* table, long section);
  /// Prepares the support mail with the preferences and the package list attached, and shows it.
  void emailQM();
  /// Closes the composer, whatever the outcome.
  void mailComposeController_didFinishWithResult_error(NSObject* controller, MFMailComposeResult result, objc_object* error);
};
