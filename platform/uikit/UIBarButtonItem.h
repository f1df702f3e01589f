#pragma once

#include "platform/objc/NSObject.h"
#include "platform/uikit/UIKitTypes.h"

/// A button of a navigation bar. Its target is not owned.
class UIBarButtonItem : public NSObject {
 public:
  static Class class_();
  static Retained<UIBarButtonItem> itemWithSystemItem_target_action(UIBarButtonSystemItem item, NSObject* target,
                                                                    SEL action);
  UIBarButtonItem* initWithBarButtonSystemItem_target_action(UIBarButtonSystemItem item, NSObject* target, SEL action);

  UIBarButtonSystemItem systemItem() const { return systemItem_; }
  NSObject* target() const { return target_; }
  SEL action() const { return action_; }
  /// What a tap does: the action sent to the target, the item as sender.
  void tap();

  std::string description() const override;

 private:
  UIBarButtonSystemItem systemItem_ = 0;
  NSObject* target_ = nullptr;
  SEL action_ = nullptr;
};
