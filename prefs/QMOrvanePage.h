#pragma once

#include "platform/objc/Methods.h"
#include "platform/preferences/PSListController.h"

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
  /// The stored value under the row's "key", read afresh, else the row's "default";
  /// the master switch shows on in a file without it, as SpringBoard takes it.
  objc_object* readPreferenceValue(PSSpecifier* specifier);
  /// Writes the whole file back with the row's value, then posts the row's "PostNotification".
  /// A write that makes the file stores the master switch off beside the value.
  void setPreferenceValue_specifier(objc_object* value, PSSpecifier* specifier);
  void viewWillAppear(bool animated);
  void viewWillDisappear(bool animated);
  UITableViewCell* tableView_cellForRowAtIndexPath(UITableView* table, NSIndexPath* path);

  /// The application's status-bar style when the page was last about to be shown.
  long& prevStatusStyle() { return objc::instanceVariable<long>(this, "prevStatusStyle"); }

 protected:
  /// Declares the page's instance variables and methods on the class being defined.
  static void declare(Class cls);
};

class QMOrvaneListController : public QMOrvanePage<QMOrvaneListController, PSListController> {
 public:
  static Class class_();
};

/// The list of choices of a list row. In a list of sound themes (a row whose
/// values come from "themeValues"), the theme picked is also played once, as
/// the platform's tone pickers do; it is stored whether or not it can be played.
class QMOrvaneListItemsController : public QMOrvanePage<QMOrvaneListItemsController, PSListItemsController> {
 public:
  static Class class_();
  void setPreferenceValue_specifier(objc_object* value, PSSpecifier* specifier);
};
