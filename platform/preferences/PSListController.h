#pragma once

#include <vector>

#include "platform/foundation/NSBundle.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIKit.h"

/// A table page of settings rows. The rows come from the page's "specifiers"
/// (sent through the runtime, so that pages override it); groups become
/// sections with their footers; value rows show "readPreferenceValue:" and
/// hand changes to "setPreferenceValue:specifier:" of their target.
class PSListController : public UIViewController {
 public:
  static Class class_();
  ~PSListController() override;

  // Base implementations of the page's methods.
  NSArray* specifiers();
  /// Empties the rows and asks the page's "specifiers" for them again; the table shows the new ones.
  void reloadSpecifiers();
  NSArray* loadSpecifiersFromPlistName_target(NSString* name, NSObject* target);
  objc_object* readPreferenceValue(PSSpecifier* specifier);
  void setPreferenceValue_specifier(objc_object* value, PSSpecifier* specifier);
  void loadView();
  void viewWillAppear(bool animated);
  long numberOfSectionsInTableView(UITableView* table);
  long tableView_numberOfRowsInSection(UITableView* table, long section);
  UITableViewCell* tableView_cellForRowAtIndexPath(UITableView* table, NSIndexPath* path);
  NSString* tableView_titleForHeaderInSection(UITableView* table, long section);
  NSString* tableView_titleForFooterInSection(UITableView* table, long section);

  /// The bundle the page's property lists come from; a page opened from
  /// another shares its bundle.
  NSBundle* bundle() const { return bundle_; }
  void setBundle(NSBundle* bundle) { bundle_ = bundle; }
  /// The row that opened this page, if any.
  PSSpecifier* specifier() const { return specifier_.get(); }
  void setSpecifier(PSSpecifier* specifier) { specifier_ = objc::retain(specifier); }
  PSListController* parentController() const { return parentController_; }
  UITableView* table() { return table_.get(); }

  /// The rows grouped as the table shows them: each group's specifier (nil
  /// for rows before the first group) and its rows.
  struct Group {
    PSSpecifier* group = nullptr;
    std::vector<PSSpecifier*> rows;
  };
  /// Kept while "specifiers" gives the same array, unchanged.
  const std::vector<Group>& groups();

  /// The value a row shows now: its target's "readPreferenceValue:".
  Retained<NSObject> valueForSpecifier(PSSpecifier* specifier);
  /// What a tap on the row does: opens a link or list page, or sends a button's action.
  /// Returns the page opened, if any.
  UIViewController* selectRow(PSSpecifier* specifier);
  /// Hands a switch's new value to the row's target, as one preferences change
  /// (device::PreferencesChange), so that changes in other processes wait.
  void setSwitch(PSSpecifier* specifier, bool on);
  /// Fills a list row's choices from its target's data sources, if it names them.
  static void loadChoices(PSSpecifier* specifier);

 protected:
  /// The instance variable "_specifiers": owning, filled by the page's "specifiers".
  NSArray* _specifiers = nullptr;
  Retained<UITableView> table_;
  NSBundle* bundle_ = nullptr;
  Retained<PSSpecifier> specifier_;
  PSListController* parentController_ = nullptr;

 private:
  Retained<NSArray> groupedSpecifiers_;
  std::uint64_t groupedMutations_ = 0;
  std::vector<Group> grouped_;
};

/// The page of a list row's choices: a check on the current value; a pick
/// calls its own "setPreferenceValue:specifier:" with the list row's specifier.
class PSListItemsController : public PSListController {
 public:
  static Class class_();

  NSArray* specifiers();
  long numberOfSectionsInTableView(UITableView* table);
  UITableViewCell* tableView_cellForRowAtIndexPath(UITableView* table, NSIndexPath* path);
  /// Picks the choice shown with this title, as one preferences change; false if there is none.
  bool pickTitle(const std::string& title);
  /// The value now stored for the list row.
  Retained<NSObject> currentValue();

 private:
  /// The stored value, read once as the table starts a reload: the check goes by it.
  Retained<NSObject> checkedValue_;
};
