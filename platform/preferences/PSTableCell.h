#pragma once

#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIKit.h"

/// A settings row's cell. A row whose "cellClass" names a class gets a cell
/// of that class, made with "initWithStyle:reuseIdentifier:specifier:".
class PSTableCell : public UITableViewCell {
 public:
  static Class class_();

  PSTableCell* initWithStyle_reuseIdentifier_specifier(UITableViewCellStyle style, NSString* reuseIdentifier,
                                                      PSSpecifier* specifier);
  /// The row's title label (also the runtime method "titleLabel").
  UILabel* titleLabel() { return textLabel(); }
  PSSpecifier* specifier() const { return specifier_.get(); }
  void setSpecifier(PSSpecifier* specifier) { specifier_ = objc::retain(specifier); }

 protected:
  Retained<PSSpecifier> specifier_;
};
