#pragma once

#include "platform/objc/Methods.h"
#include "platform/preferences/PSListController.h"
#include "prefs/Selectors.h"

namespace orvane {
/// The application's status-bar style when the page was last about to be shown.
inline constexpr objc::InstanceVariable<long> prevStatusStyle{"prevStatusStyle"};
}  // namespace orvane

/// What every page of the bundle does alike, on top of the platform page it
/// derives from: loading its rows localised, reading and writing single
/// preferences in Orvane's preferences file, and the page theme.
/// `Self` is the concrete class, whose runtime class carries these methods.
/// A runtime class of the bundle: its state is in instance variables.
template <class Self, class Base>
class QMOrvanePage : public Base {
 public:
  /// The specifiers of a property list of the bundle, localised; +1 for the caller, or nil.
  NSArray* specifiersForPlistName(NSString* name);
  /// The stored value under the row's "key", read afresh, else the row's "default".
  objc_object* readPreferenceValue(PSSpecifier* specifier);
  /// Writes the whole file back with the row's value, then posts the row's "PostNotification".
  void setPreferenceValue_specifier(objc_object* value, PSSpecifier* specifier);
  void viewWillAppear(bool animated);
  void viewWillDisappear(bool animated);
  UITableViewCell* tableView_cellForRowAtIndexPath(UITableView* table, NSIndexPath* path);

  /// The page's class: `name` under `superclass`, with these methods.
  static objc::ClassDefinition definition(const char* name, Class superclass);
};

class QMOrvaneListController : public QMOrvanePage<QMOrvaneListController, PSListController> {
 public:
  static Class class_();
};

/// The list of choices of a list row; a pick is stored as any other change is.
class QMOrvaneListItemsController : public QMOrvanePage<QMOrvaneListItemsController, PSListItemsController> {
 public:
  static Class class_();
};
