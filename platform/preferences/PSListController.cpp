#include "platform/preferences/PSListController.h"

#include <utility>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/device/PreferencesChange.h"
#include "platform/foundation/NSLog.h"
#include "platform/objc/Methods.h"

namespace {

NSObject* targetOf(PSSpecifier* specifier, NSObject* fallback) {
  return specifier->target() ? specifier->target() : fallback;
}

std::string reuseIdentifier(PSSpecifier* specifier) {
  auto* cellClass = objc_cast<NSString>(specifier->propertyForKey("cellClass"));
  return cellClass ? cellClass->utf8() : PSCellTypeName(specifier->cellType());
}

std::string preferencesFile(PSSpecifier* specifier) {
  auto* domain = objc_cast<NSString>(specifier->propertyForKey("defaults"));
  return device::preferencesFile(domain ? domain->utf8() : ".GlobalPreferences");
}

}  // namespace

Class PSListController::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<PSListController>("PSListController", UIViewController::class_());
    objc::addMethod<&PSListController::specifiers>(registered, "specifiers");
    objc::addMethod<&PSListController::loadSpecifiersFromPlistName_target>(registered,
                                                                          "loadSpecifiersFromPlistName:target:");
    objc::addMethod<&PSListController::readPreferenceValue>(registered, "readPreferenceValue:");
    objc::addMethod<&PSListController::setPreferenceValue_specifier>(registered, "setPreferenceValue:specifier:");
    objc::addMethod<&PSListController::loadView>(registered, "loadView");
    objc::addMethod<&PSListController::viewWillAppear>(registered, "viewWillAppear:");
    objc::addMethod<&PSListController::numberOfSectionsInTableView>(registered, "numberOfSectionsInTableView:");
    objc::addMethod<&PSListController::tableView_numberOfRowsInSection>(registered, "tableView:numberOfRowsInSection:");
    objc::addMethod<&PSListController::tableView_cellForRowAtIndexPath>(registered, "tableView:cellForRowAtIndexPath:");
    objc::addMethod<&PSListController::tableView_titleForHeaderInSection>(registered,
                                                                         "tableView:titleForHeaderInSection:");
    objc::addMethod<&PSListController::tableView_titleForFooterInSection>(registered,
                                                                         "tableView:titleForFooterInSection:");
    objc::addMethod<&PSListController::bundle>(registered, "bundle");
    objc::addMethod<&PSListController::specifier>(registered, "specifier");
    objc::addMethod<&PSListController::setSpecifier>(registered, "setSpecifier:");
    objc::addMethod<&PSListController::table>(registered, "table");
    objc::addMethod<&PSListController::reloadSpecifiers>(registered, "reloadSpecifiers");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    class_addMemberIvar(registered, "_specifiers", offsetof(PSListController, _specifiers), sizeof(NSArray*), "@");
#pragma GCC diagnostic pop
    return registered;
  }();
  return cls;
}

PSListController::~PSListController() { objc_release(_specifiers); }

NSArray* PSListController::specifiers() { return _specifiers; }

void PSListController::reloadSpecifiers() {
  // The rows are made again by the page's own "specifiers", which fills the emptied variable.
  Retained<NSArray> previous = Retained<NSArray>::adopt(std::exchange(_specifiers, nullptr));
  objc::send<NSArray*>(this, "specifiers");
  if (table_) table_->reloadData();
}

NSArray* PSListController::loadSpecifiersFromPlistName_target(NSString* name, NSObject* target) {
  if (!name || !bundle_) return nullptr;
  Retained<NSString> title;
  Retained<NSArray> loaded = SpecifiersFromPlist(bundle_->bundlePath() + "/" + name->utf8() + ".plist", target, &title);
  if (loaded && title && !title_) setTitle(title.get());
  return loaded.autorelease();
}

objc_object* PSListController::readPreferenceValue(PSSpecifier* specifier) {
  if (!specifier) return nullptr;
  auto preferences = NSDictionary::dictionaryWithContentsOfFile(NSString::stringWithUTF8String(preferencesFile(specifier)).get());
  auto* key = objc_cast<NSString>(specifier->propertyForKey("key"));
  objc_object* value = preferences && key ? preferences->objectForKey(key) : nullptr;
  if (!value) return specifier->propertyForKey("default");
  return Retained<objc_object>::retain(value).autorelease();
}

void PSListController::setPreferenceValue_specifier(objc_object* value, PSSpecifier* specifier) {
  auto* key = specifier ? objc_cast<NSString>(specifier->propertyForKey("key")) : nullptr;
  if (!key || !value) return;
  auto path = NSString::stringWithUTF8String(preferencesFile(specifier));
  auto preferences = NSMutableDictionary::dictionaryWithContentsOfFile(path.get());
  if (!preferences) preferences = NSMutableDictionary::dictionary();
  preferences->setObject_forKey(value, key);
  preferences->writeToFile_atomically(path.get(), true);
  if (auto* notification = objc_cast<NSString>(specifier->propertyForKey("PostNotification")))
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), notification, nullptr, nullptr, true);
}

void PSListController::loadView() {
  CGSize screen = uikit::screenSize();
  table_ = UITableView::tableWithFrame(CGRectMake(0, 64, screen.width, screen.height - 64));
  table_->setDataSource(this);
  view_ = table_;
}

void PSListController::viewWillAppear(bool animated) {
  objc::sendSuper(PSListController::class_(), this, "viewWillAppear:", animated);
  if (table_) table_->reloadData();
}

const std::vector<PSListController::Group>& PSListController::groups() {
  auto* all = objc::send<NSArray*>(this, "specifiers");
  if (all == groupedSpecifiers_.get() && (!all || all->mutations() == groupedMutations_)) return grouped_;
  groupedSpecifiers_ = objc::retain(all);
  groupedMutations_ = all ? all->mutations() : 0;
  grouped_.clear();
  if (!all) return grouped_;
  for (auto& item : *all) {
    auto* specifier = objc_cast<PSSpecifier>(item.get());
    if (!specifier) continue;
    if (specifier->cellType() == PSGroupCell) {
      grouped_.push_back({specifier, {}});
      continue;
    }
    if (grouped_.empty()) grouped_.push_back({nullptr, {}});
    grouped_.back().rows.push_back(specifier);
  }
  return grouped_;
}

long PSListController::numberOfSectionsInTableView(UITableView*) { return static_cast<long>(groups().size()); }

long PSListController::tableView_numberOfRowsInSection(UITableView*, long section) {
  auto& grouped = groups();
  return section >= 0 && static_cast<std::size_t>(section) < grouped.size()
             ? static_cast<long>(grouped[static_cast<std::size_t>(section)].rows.size())
             : 0;
}

NSString* PSListController::tableView_titleForHeaderInSection(UITableView*, long section) {
  auto& grouped = groups();
  if (section < 0 || static_cast<std::size_t>(section) >= grouped.size()) return nullptr;
  PSSpecifier* group = grouped[static_cast<std::size_t>(section)].group;
  return group && group->name() && !group->name()->utf8().empty() ? group->name() : nullptr;
}

NSString* PSListController::tableView_titleForFooterInSection(UITableView*, long section) {
  auto& grouped = groups();
  if (section < 0 || static_cast<std::size_t>(section) >= grouped.size()) return nullptr;
  PSSpecifier* group = grouped[static_cast<std::size_t>(section)].group;
  return group ? objc_cast<NSString>(group->propertyForKey("footerText")) : nullptr;
}

UITableViewCell* PSListController::tableView_cellForRowAtIndexPath(UITableView* table, NSIndexPath* path) {
  auto& grouped = groups();
  if (!path || path->section() < 0 || static_cast<std::size_t>(path->section()) >= grouped.size()) return nullptr;
  auto& rows = grouped[static_cast<std::size_t>(path->section())].rows;
  if (path->row() < 0 || static_cast<std::size_t>(path->row()) >= rows.size()) return nullptr;
  PSSpecifier* specifier = rows[static_cast<std::size_t>(path->row())];

  auto identifier = NSString::stringWithUTF8String(reuseIdentifier(specifier));
  Retained<UITableViewCell> cell = table ? table->dequeueReusableCellWithIdentifier(identifier.get()) : nullptr;
  if (auto* reused = objc_cast<PSTableCell>(cell.get())) reused->setSpecifier(specifier);
  if (!cell) {
    Class cellClass = PSTableCell::class_();
    if (auto* name = objc_cast<NSString>(specifier->propertyForKey("cellClass"))) {
      Class named = objc_getClass(name->utf8().c_str());
      if (named && class_isSubclassOf(named, UITableViewCell::class_())) cellClass = named;
      else NSLog("Preferences: no cell class %s; the row \"%s\" gets a standard cell",
                 name->utf8().c_str(), specifier->name() ? specifier->name()->utf8().c_str() : "");
    }
    cell = class_respondsToSelector(cellClass, sel_registerName("initWithStyle:reuseIdentifier:specifier:"))
               ? objc::make<UITableViewCell>(cellClass, "initWithStyle:reuseIdentifier:specifier:",
                                             UITableViewCellStyleValue1, identifier.get(), specifier)
               : objc::make<UITableViewCell>(cellClass, "initWithStyle:reuseIdentifier:", UITableViewCellStyleValue1,
                                             identifier.get());
    if (!cell) return nullptr;
  }
  if (specifier->height() > 0) cell->setFrame(CGRectMake(0, 0, 320, specifier->height()));
  if (cell->isKindOfClass(PSTableCell::class_()) && !specifier->propertyForKey("cellClass"))
    cell->textLabel()->setText(specifier->name());
  cell->setAccessoryType(UITableViewCellAccessoryNone);
  switch (specifier->cellType()) {
    case PSSwitchCell: {
      auto control = UISwitch::switchControl();
      auto value = valueForSpecifier(specifier);
      auto* number = objc_cast<NSNumber>(value.get());
      auto* text = objc_cast<NSString>(value.get());
      control->setOn(number ? number->boolValue() : text && text->boolValue());
      control->setContainer(this);
      cell->setAccessoryView(control.get());
      break;
    }
    case PSLinkCell:
      cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
      break;
    case PSLinkListCell: {
      cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
      loadChoices(specifier);
      auto value = valueForSpecifier(specifier);
      NSString* title = specifier->titleForValue(value.get());
      cell->detailTextLabel()->setText(title ? title : value ? NSString::stringWithUTF8String(value->description()).get() : nullptr);
      break;
    }
    default:
      break;
  }
  return cell.autorelease();
}

Retained<NSObject> PSListController::valueForSpecifier(PSSpecifier* specifier) {
  NSObject* target = targetOf(specifier, this);
  return Retained<NSObject>::retain(objc_cast<NSObject>(objc::send<id>(target, "readPreferenceValue:", specifier)));
}

void PSListController::loadChoices(PSSpecifier* specifier) {
  auto* titlesSource = objc_cast<NSString>(specifier->propertyForKey("titlesDataSource"));
  auto* valuesSource = objc_cast<NSString>(specifier->propertyForKey("valuesDataSource"));
  NSObject* target = specifier->target();
  if (!target || (!titlesSource && !valuesSource)) return;
  Retained<NSArray> values = objc::retain(specifier->values());
  if (valuesSource) values = objc::retain(objc::send<NSArray*>(target, valuesSource->utf8().c_str()));
  Retained<NSArray> titles = values;
  if (titlesSource) titles = objc::retain(objc::send<NSArray*>(target, titlesSource->utf8().c_str()));
  specifier->setValues_titles(values.get(), titles.get());
}

UIViewController* PSListController::selectRow(PSSpecifier* specifier) {
  if (!specifier) return nullptr;
  switch (specifier->cellType()) {
    case PSLinkCell:
    case PSLinkListCell: {
      Class detail = specifier->detailControllerClass();
      if (!detail && specifier->cellType() == PSLinkListCell) detail = PSListItemsController::class_();
      if (!detail) return nullptr;
      if (specifier->cellType() == PSLinkListCell) loadChoices(specifier);
      Retained<UIViewController> page = UIViewController::controller(detail);
      if (auto* list = objc_cast<PSListController>(page.get())) {
        list->setBundle(bundle_);
        objc::send(list, "setSpecifier:", specifier);  // pages may take the row their own way
        list->parentController_ = this;
        if (specifier->name() && !list->title()) list->setTitle(specifier->name());
      }
      if (UINavigationController* navigation = navigationController()) navigation->pushViewController_animated(page.get(), true);
      return page.get();
    }
    case PSButtonCell: {
      SEL action = specifier->action();
      NSObject* target = targetOf(specifier, this);
      if (!action) return nullptr;
      if (std::string_view(sel_getName(action)).ends_with(':')) objc_msgSend(target, action, static_cast<id>(specifier));
      else objc_msgSend(target, action);
      return nullptr;
    }
    default:
      return nullptr;
  }
}

void PSListController::setSwitch(PSSpecifier* specifier, bool on) {
  NSObject* target = targetOf(specifier, this);
  {
    device::PreferencesChange change;
    objc::send(target, "setPreferenceValue:specifier:", static_cast<id>(NSNumber::numberWithBool(on).get()), specifier);
  }
  if (table_) table_->reloadData();
}

Class PSListItemsController::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<PSListItemsController>("PSListItemsController", PSListController::class_());
    objc::addMethod<&PSListItemsController::specifiers>(registered, "specifiers");
    objc::addMethod<&PSListItemsController::numberOfSectionsInTableView>(registered, "numberOfSectionsInTableView:");
    objc::addMethod<&PSListItemsController::tableView_cellForRowAtIndexPath>(registered,
                                                                            "tableView:cellForRowAtIndexPath:");
    return registered;
  }();
  return cls;
}

NSArray* PSListItemsController::specifiers() {
  if (_specifiers || !specifier_) return _specifiers;
  auto items = NSMutableArray::array();
  items->addObject(PSSpecifier::specifier().get());  // one group holds the choices
  if (NSArray* values = specifier_->values()) {
    for (auto& value : *values) {
      auto item = PSSpecifier::specifier();
      item->setCellType(PSListItemCell);
      item->setTarget(this);
      NSString* title = specifier_->titleForValue(value.get());
      item->setName(title ? title : NSString::stringWithUTF8String(foundation::describe(value.get())).get());
      item->setProperty_forKey(value.get(), "value");
      items->addObject(item.get());
    }
  }
  _specifiers = items.leak();
  return _specifiers;
}

Retained<NSObject> PSListItemsController::currentValue() {
  return Retained<NSObject>::retain(objc_cast<NSObject>(objc::send<id>(this, "readPreferenceValue:", specifier_.get())));
}

long PSListItemsController::numberOfSectionsInTableView(UITableView* table) {
  checkedValue_ = currentValue();
  return PSListController::numberOfSectionsInTableView(table);
}

UITableViewCell* PSListItemsController::tableView_cellForRowAtIndexPath(UITableView* table, NSIndexPath* path) {
  auto* cell = objc::sendSuper<UITableViewCell*>(PSListItemsController::class_(), this, "tableView:cellForRowAtIndexPath:",
                                                 table, path);
  auto* tableCell = objc_cast<PSTableCell>(cell);
  if (tableCell && tableCell->specifier()) {
    bool checked = PSValuesEqual(tableCell->specifier()->propertyForKey("value"), checkedValue_.get());
    cell->setAccessoryType(checked ? UITableViewCellAccessoryCheckmark : UITableViewCellAccessoryNone);
  }
  return cell;
}

bool PSListItemsController::pickTitle(const std::string& title) {
  for (auto& group : groups())
    for (PSSpecifier* item : group.rows)
      if (item->name() && item->name()->utf8() == title) {
        Retained<PSSpecifier> picked = objc::retain(item);
        {
          device::PreferencesChange change;
          objc::send(this, "setPreferenceValue:specifier:", picked->propertyForKey("value"), specifier_.get());
        }
        if (table_) table_->reloadData();
        return true;
      }
  return false;
}

namespace {
[[maybe_unused]] const Class registered = PSListController::class_();
[[maybe_unused]] const Class registeredItems = PSListItemsController::class_();
}
