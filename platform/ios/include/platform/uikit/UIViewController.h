#pragma once

#include <functional>

#include "platform/foundation/NSString.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIView.h"

class UINavigationController;

class UIViewController : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("UIViewController"); }
  /// A new controller of the runtime class, made with its "init".
  static Retained<UIViewController> controller(Class cls) {
    return objc::allocInit<UIViewController>(cls, ORVANE_SEL("init"));
  }
  UIView* view() { return objc::sendMessage<UIView*>(this, ORVANE_SEL("view")); }
  bool isViewLoaded() const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("isViewLoaded")); }
  void setView(UIView* view) { objc::sendMessage<void>(this, ORVANE_SEL("setView:"), view); }
  NSString* title() const { return objc::sendMessage<NSString*>(this, ORVANE_SEL("title")); }
  void setTitle(NSString* title) { objc::sendMessage<void>(this, ORVANE_SEL("setTitle:"), title); }
  UINavigationItem* navigationItem() { return objc::sendMessage<UINavigationItem*>(this, ORVANE_SEL("navigationItem")); }
  UINavigationController* navigationController() const {
    return objc::sendMessage<UINavigationController*>(this, ORVANE_SEL("navigationController"));
  }

  /// Present and dismiss, their completions run from blocks holding copies.
  void presentViewController_animated_completion(UIViewController* controller, bool animated,
                                                 const std::function<void()>& completion) {
#if __BLOCKS__
    std::function<void()> finish = completion;
    void (^block)(void) = ^{
      finish();
    };
    objc::sendMessage<void>(this, ORVANE_SEL("presentViewController:animated:completion:"), controller, BOOL(animated),
                            finish ? block : static_cast<void (^)(void)>(0));
#else
    objc::OwnedBlock<void()> block(completion);
    objc::sendMessage<void>(this, ORVANE_SEL("presentViewController:animated:completion:"), controller, BOOL(animated),
                            block.get());
#endif
  }
  void dismissViewControllerAnimated_completion(bool animated, const std::function<void()>& completion) {
#if __BLOCKS__
    std::function<void()> finish = completion;
    void (^block)(void) = ^{
      finish();
    };
    objc::sendMessage<void>(this, ORVANE_SEL("dismissViewControllerAnimated:completion:"), BOOL(animated),
                            finish ? block : static_cast<void (^)(void)>(0));
#else
    objc::OwnedBlock<void()> block(completion);
    objc::sendMessage<void>(this, ORVANE_SEL("dismissViewControllerAnimated:completion:"), BOOL(animated), block.get());
#endif
  }
  UIViewController* presentedViewController() const {
    return objc::sendMessage<UIViewController*>(this, ORVANE_SEL("presentedViewController"));
  }
  UIViewController* presentingViewController() const {
    return objc::sendMessage<UIViewController*>(this, ORVANE_SEL("presentingViewController"));
  }
};

class UINavigationController : public UIViewController {
 public:
  static Class class_() { return ORVANE_CLASS("UINavigationController"); }
  UINavigationBar* navigationBar() const { return objc::sendMessage<UINavigationBar*>(this, ORVANE_SEL("navigationBar")); }
  UIViewController* topViewController() const {
    return objc::sendMessage<UIViewController*>(this, ORVANE_SEL("topViewController"));
  }
  void pushViewController_animated(UIViewController* controller, bool animated) {
    objc::sendMessage<void>(this, ORVANE_SEL("pushViewController:animated:"), controller, BOOL(animated));
  }
};
