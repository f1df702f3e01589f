#include "platform/preferences/PSTableCell.h"

#include "platform/objc/Methods.h"

Class PSTableCell::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<PSTableCell>("PSTableCell", UITableViewCell::class_());
    objc::addMethod<&PSTableCell::initWithStyle_reuseIdentifier_specifier>(registered,
                                                                          "initWithStyle:reuseIdentifier:specifier:");
    objc::addMethod<&PSTableCell::titleLabel>(registered, "titleLabel");
    objc::addMethod<&PSTableCell::specifier>(registered, "specifier");
    objc::addMethod<&PSTableCell::setSpecifier>(registered, "setSpecifier:");
    return registered;
  }();
  return cls;
}

PSTableCell* PSTableCell::initWithStyle_reuseIdentifier_specifier(UITableViewCellStyle style, NSString* reuseIdentifier,
                                                                  PSSpecifier* specifier) {
  if (!objc::send<id>(this, "initWithStyle:reuseIdentifier:", style, reuseIdentifier)) return nullptr;
  specifier_ = objc::retain(specifier);
  return this;
}

namespace {
[[maybe_unused]] const Class registered = PSTableCell::class_();
}
