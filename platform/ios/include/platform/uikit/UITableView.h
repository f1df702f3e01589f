#pragma once

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIKitTypes.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

class NSIndexPath : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSIndexPath"); }
  static Retained<NSIndexPath> indexPathForRow_inSection(long row, long section) {
    return objc::retain(
        objc::sendMessage<NSIndexPath*>(class_(), ORVANE_SEL("indexPathForRow:inSection:"), row, section));
  }
  long row() const { return objc::sendMessage<long>(this, ORVANE_SEL("row")); }
  long section() const { return objc::sendMessage<long>(this, ORVANE_SEL("section")); }
};

class UITableViewCell : public UIView {
 public:
  static Class class_() { return ORVANE_CLASS("UITableViewCell"); }
  NSString* reuseIdentifier() const { return objc::sendMessage<NSString*>(this, ORVANE_SEL("reuseIdentifier")); }
  UILabel* textLabel() { return objc::sendMessage<UILabel*>(this, ORVANE_SEL("textLabel")); }
  UILabel* detailTextLabel() { return objc::sendMessage<UILabel*>(this, ORVANE_SEL("detailTextLabel")); }
  UIView* accessoryView() const { return objc::sendMessage<UIView*>(this, ORVANE_SEL("accessoryView")); }
  void setAccessoryView(UIView* view) { objc::sendMessage<void>(this, ORVANE_SEL("setAccessoryView:"), view); }
  UITableViewCellAccessoryType accessoryType() const {
    return objc::sendMessage<UITableViewCellAccessoryType>(this, ORVANE_SEL("accessoryType"));
  }
  void setAccessoryType(UITableViewCellAccessoryType type) {
    objc::sendMessage<void>(this, ORVANE_SEL("setAccessoryType:"), type);
  }
};

class UITableView : public UIView {
 public:
  static constexpr CGFloat automaticDimension = -1;
  static Class class_() { return ORVANE_CLASS("UITableView"); }
  void reloadData() { objc::sendMessage<void>(this, ORVANE_SEL("reloadData")); }
  Retained<UITableViewCell> dequeueReusableCellWithIdentifier(NSString* identifier) {
    return objc::retain(
        objc::sendMessage<UITableViewCell*>(this, ORVANE_SEL("dequeueReusableCellWithIdentifier:"), identifier));
  }
};
