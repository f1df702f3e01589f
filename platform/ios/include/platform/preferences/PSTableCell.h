#pragma once

#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIKit.h"

/// A settings row's cell of the Preferences framework.
class PSTableCell : public UITableViewCell {
 public:
  static Class class_() { return ORVANE_CLASS("PSTableCell"); }
  UILabel* titleLabel() { return objc::sendMessage<UILabel*>(this, ORVANE_SEL("titleLabel")); }
  PSSpecifier* specifier() const { return objc::sendMessage<PSSpecifier*>(this, ORVANE_SEL("specifier")); }
};
