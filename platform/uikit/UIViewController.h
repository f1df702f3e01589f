#pragma once

#include <functional>

#include "platform/foundation/NSString.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIView.h"

class UINavigationController;

/// A screenful. Its view is made on first use ("loadView", then
/// "viewDidLoad"); its container sends the appearance callbacks
/// ("viewWillAppear:", "viewDidAppear:", "viewWillDisappear:",
/// "viewDidDisappear:") as it comes on screen and leaves it.
class UIViewController : public NSObject {
 public:
  static Class class_();
  /// A new controller of the runtime class, made with its "init".
  static Retained<UIViewController> controller(Class cls);

  UIViewController* init() { return this; }
  UIView* view();
  bool isViewLoaded() const { return static_cast<bool>(view_); }
  void setView(UIView* view) { view_ = objc::retain(view); }
  NSString* title() const { return title_.get(); }
  void setTitle(NSString* title);
  UINavigationItem* navigationItem();
  /// The nearest navigation controller that holds this controller.
  UINavigationController* navigationController() const { return navigationController_; }
  bool isAppearing() const { return appearing_; }

  // Base implementations, sent through the runtime so that subclasses override them.
  void loadView();
  void viewDidLoad() {}
  void viewWillAppear(bool) {}
  void viewDidAppear(bool) {}
  void viewWillDisappear(bool) {}
  void viewDidDisappear(bool) {}

  /// Shows a controller modally over this one; a controller already presenting shows nothing more.
  void presentViewController_animated_completion(UIViewController* controller, bool animated,
                                                 const std::function<void()>& completion);
  /// Closes what this controller presents, or, if it presents nothing, closes this controller itself.
  void dismissViewControllerAnimated_completion(bool animated, const std::function<void()>& completion);
  UIViewController* presentedViewController() const { return presented_.get(); }
  UIViewController* presentingViewController() const { return presenting_; }
  /// Whether the latest presentation or dismissal involving this controller was animated.
  bool lastTransitionAnimated() const { return lastTransitionAnimated_; }

  /// Sends the callbacks of coming on screen (or leaving it); containers forward them to their children.
  void beginAppearanceTransition(bool appearing, bool animated);
  void endAppearanceTransition(bool animated);

 protected:
  friend class UINavigationController;
  Retained<UIView> view_;
  Retained<NSString> title_;
  Retained<UINavigationItem> navigationItem_;
  UINavigationController* navigationController_ = nullptr;
  bool appearing_ = false;
  bool transitionAppearing_ = false;
  Retained<UIViewController> presented_;
  UIViewController* presenting_ = nullptr;
  bool lastTransitionAnimated_ = false;
};

class UINavigationController : public UIViewController {
 public:
  static Class class_();
  static Retained<UINavigationController> controllerWithRootViewController(UIViewController* root);
  /// An empty stack with its navigation bar.
  UINavigationController* init();

  UINavigationBar* navigationBar() const { return navigationBar_.get(); }
  const std::vector<Retained<UIViewController>>& viewControllers() const { return viewControllers_; }
  UIViewController* topViewController() const;
  void pushViewController_animated(UIViewController* controller, bool animated);
  Retained<UIViewController> popViewControllerAnimated(bool animated);

  void viewWillAppear(bool animated);
  void viewDidAppear(bool animated);
  void viewWillDisappear(bool animated);
  void viewDidDisappear(bool animated);

 private:
  void adopt(UIViewController* controller);
  Retained<UINavigationBar> navigationBar_;
  std::vector<Retained<UIViewController>> viewControllers_;
};
