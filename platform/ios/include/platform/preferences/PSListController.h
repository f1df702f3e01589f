#pragma once

#include "platform/foundation/NSBundle.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIKit.h"

/// A table page of settings rows of the Preferences framework. Its rows are
/// in the instance variable "_specifiers", which the page owns.
class PSListController : public UIViewController {
 public:
  static Class class_() { return ORVANE_CLASS("PSListController"); }
  NSBundle* bundle() const { return objc::sendMessage<NSBundle*>(this, ORVANE_SEL("bundle")); }
  PSSpecifier* specifier() const { return objc::sendMessage<PSSpecifier*>(this, ORVANE_SEL("specifier")); }
  UITableView* table() { return objc::sendMessage<UITableView*>(this, ORVANE_SEL("table")); }
  void reloadSpecifiers() { objc::sendMessage<void>(this, ORVANE_SEL("reloadSpecifiers")); }
};

/// The page of a list row's choices.
class PSListItemsController : public PSListController {
 public:
  static Class class_() { return ORVANE_CLASS("PSListItemsController"); }
};
