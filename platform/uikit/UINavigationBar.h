#pragma once

#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIView.h"

class UIColor;
class UIBarButtonItem;

/// A navigation bar's look. Setting a property to nil restores the default look.
class UINavigationBar : public UIView {
 public:
  static Class class_();
  static Retained<UINavigationBar> bar();

  UIColor* tintColor() const { return tintColor_.get(); }
  void setTintColor(UIColor* color);
  UIColor* barTintColor() const { return barTintColor_.get(); }
  void setBarTintColor(UIColor* color);
  NSDictionary* titleTextAttributes() const { return titleTextAttributes_.get(); }
  void setTitleTextAttributes(NSDictionary* attributes) { titleTextAttributes_ = objc::retain(attributes); }

  Properties inspectedProperties() const override;

 private:
  Retained<UIColor> tintColor_;
  Retained<UIColor> barTintColor_;
  Retained<NSDictionary> titleTextAttributes_;
};

/// The key of a text attribute dictionary that holds the text's colour.
extern NSString* const NSForegroundColorAttributeName;

/// What a view controller shows in the navigation bar while it is on top.
class UINavigationItem : public NSObject {
 public:
  static Class class_();
  static Retained<UINavigationItem> item();

  NSString* title() const { return title_.get(); }
  void setTitle(NSString* title) { title_ = objc::retain(title); }
  UIView* titleView() const { return titleView_.get(); }
  void setTitleView(UIView* view) { titleView_ = objc::retain(view); }
  NSObject* rightBarButtonItem() const { return rightBarButtonItem_.get(); }
  void setRightBarButtonItem(NSObject* item) { rightBarButtonItem_ = objc::retain(item); }

 private:
  Retained<NSString> title_;
  Retained<UIView> titleView_;
  Retained<NSObject> rightBarButtonItem_;
};
