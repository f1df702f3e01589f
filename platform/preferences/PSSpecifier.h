#pragma once

#include <string_view>

#include "platform/foundation/Foundation.h"

typedef long PSCellType;
enum : PSCellType {
  PSGroupCell = 0,
  PSLinkCell = 1,
  PSLinkListCell = 2,
  PSListItemCell = 3,
  PSTitleValueCell = 4,
  PSSwitchCell = 6,
  PSStaticTextCell = 7,
  PSButtonCell = 13,
};

/// One settings row (or group), as a specifier property list describes it.
///
/// Property-list keys read when loading (all optional but "cell"):
///   cell              PSGroupCell, PSSwitchCell, PSLinkCell, PSLinkListCell,
///                     PSButtonCell, PSStaticTextCell, PSTitleValueCell
///   label             the row's name
///   key, default, PostNotification   where and how its value is stored
///   detail            the class of the page a link or list row opens
///   action            the selector a button row sends to its target
///   cellClass         the class of the row's cell
///   footerText        a group's footer
///   validTitles, validValues          a list row's choices
///   titlesDataSource, valuesDataSource selectors sent to the target for them
///   height            the row's height in points
/// Every key is also kept in `properties`.
class PSSpecifier : public NSObject {
 public:
  static Class class_();
  static Retained<PSSpecifier> specifier();

  NSMutableDictionary* properties() const { return properties_.get(); }
  objc_object* propertyForKey(std::string_view key) const { return properties_->objectForKey(key); }
  void setProperty_forKey(objc_object* value, const NSString* key);
  void setProperty_forKey(objc_object* value, std::string_view key);

  NSString* name() const { return name_.get(); }
  void setName(NSString* name) { name_ = objc::retain(name); }
  NSDictionary* titleDictionary() const { return titleDictionary_.get(); }
  void setTitleDictionary(NSDictionary* titles) { titleDictionary_ = objc::retain(titles); }
  NSDictionary* shortTitleDictionary() const { return shortTitleDictionary_.get(); }
  void setShortTitleDictionary(NSDictionary* titles) { shortTitleDictionary_ = objc::retain(titles); }
  NSArray* values() const { return values_.get(); }
  /// Sets the choices: values in order, and their titles keyed by each value's description.
  void setValues_titles(NSArray* values, NSArray* titles);

  /// The object rows send their actions and preference calls to; not owned.
  NSObject* target() const { return target_; }
  void setTarget(NSObject* target) { target_ = target; }
  PSCellType cellType() const { return cellType_; }
  void setCellType(PSCellType type) { cellType_ = type; }
  /// The runtime class named by "detail", or nil.
  Class detailControllerClass() const;
  /// The selector named by "action", or nil.
  SEL action() const;
  /// The title shown for a value, or nil.
  NSString* titleForValue(const objc_object* value) const;
  /// The row height, or 0 for the standard one.
  double height() const;

  std::string description() const override;

 private:
  Retained<NSMutableDictionary> properties_ = NSMutableDictionary::dictionary();
  Retained<NSString> name_;
  Retained<NSDictionary> titleDictionary_;
  Retained<NSDictionary> shortTitleDictionary_;
  Retained<NSArray> values_;
  NSObject* target_ = nullptr;
  PSCellType cellType_ = PSGroupCell;
};

/// The cell type a property list's "cell" names; -1 for an unknown one.
PSCellType PSCellTypeFromString(std::string_view name);
const char* PSCellTypeName(PSCellType type);

/// Whether two property-list values are equal.
bool PSValuesEqual(const objc_object* left, const objc_object* right);

/// The specifiers of a specifier property list, their target set; nil if the
/// file cannot be read or its root or "items" has the wrong type. Items that
/// cannot be used are skipped with a line on standard error. `title`, if given,
/// receives the list's "title".
Retained<NSArray> SpecifiersFromPlist(const std::string& devicePath, NSObject* target, Retained<NSString>* title);
