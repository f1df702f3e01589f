#include "platform/uikit/UIViewController.h"

#include "platform/objc/Methods.h"
#include "platform/uikit/BlockFunction.h"
#include "platform/uikit/UIDevice.h"

Class UIViewController::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIViewController>("UIViewController", NSObject::class_());
    objc::addMethod<&UIViewController::init>(registered, "init");
    objc::addMethod<&UIViewController::loadView>(registered, "loadView");
    objc::addMethod<&UIViewController::viewDidLoad>(registered, "viewDidLoad");
    objc::addMethod<&UIViewController::viewWillAppear>(registered, "viewWillAppear:");
    objc::addMethod<&UIViewController::viewDidAppear>(registered, "viewDidAppear:");
    objc::addMethod<&UIViewController::viewWillDisappear>(registered, "viewWillDisappear:");
    objc::addMethod<&UIViewController::viewDidDisappear>(registered, "viewDidDisappear:");
    objc::addMethod<&UIViewController::view>(registered, "view");
    objc::addMethod<&UIViewController::isViewLoaded>(registered, "isViewLoaded");
    objc::addMethod<&UIViewController::setView>(registered, "setView:");
    objc::addMethod<&UIViewController::title>(registered, "title");
    objc::addMethod<&UIViewController::setTitle>(registered, "setTitle:");
    objc::addMethod<&UIViewController::navigationItem>(registered, "navigationItem");
    objc::addMethod<&UIViewController::navigationController>(registered, "navigationController");
    objc::addFunction(registered, "presentViewController:animated:completion:",
                      +[](UIViewController* self, SEL, UIViewController* controller, BOOL animated,
                          BlockLiteral* completion) {
                        self->presentViewController_animated_completion(controller, animated,
                                                                        uikit::functionOfBlock<void>(completion));
                      });
    objc::addFunction(registered, "dismissViewControllerAnimated:completion:",
                      +[](UIViewController* self, SEL, BOOL animated, BlockLiteral* completion) {
                        self->dismissViewControllerAnimated_completion(animated, uikit::functionOfBlock<void>(completion));
                      });
    objc::addMethod<&UIViewController::presentedViewController>(registered, "presentedViewController");
    objc::addMethod<&UIViewController::presentingViewController>(registered, "presentingViewController");
    return registered;
  }();
  return cls;
}

Retained<UIViewController> UIViewController::controller(Class cls) {
  return objc::make<UIViewController>(cls, "init");
}

UIView* UIViewController::view() {
  if (!view_) {
    objc::send(this, "loadView");
    if (!view_) view_ = UIView::viewWithFrame(UIView::class_(), CGRectMake(0, 0, uikit::screenSize().width, uikit::screenSize().height));
    objc::send(this, "viewDidLoad");
  }
  return view_.get();
}

void UIViewController::setTitle(NSString* title) {
  title_ = objc::retain(title);
  navigationItem()->setTitle(title);
}

UINavigationItem* UIViewController::navigationItem() {
  if (!navigationItem_) navigationItem_ = UINavigationItem::item();
  return navigationItem_.get();
}

void UIViewController::loadView() { view_ = UIView::viewWithFrame(UIView::class_(), CGRectMake(0, 0, uikit::screenSize().width, uikit::screenSize().height)); }

void UIViewController::presentViewController_animated_completion(UIViewController* controller, bool animated,
                                                                 const std::function<void()>& completion) {
  if (!controller || presented_ || controller->presenting_) return;
  presented_ = objc::retain(controller);
  controller->presenting_ = this;
  lastTransitionAnimated_ = controller->lastTransitionAnimated_ = animated;
  controller->beginAppearanceTransition(true, animated);
  controller->endAppearanceTransition(animated);
  if (completion) completion();
}

void UIViewController::dismissViewControllerAnimated_completion(bool animated, const std::function<void()>& completion) {
  if (!presented_) {
    // As on the platform, a child asks its container, a presented controller its presenter.
    if (presenting_) presenting_->dismissViewControllerAnimated_completion(animated, completion);
    else if (navigationController_) navigationController_->dismissViewControllerAnimated_completion(animated, completion);
    return;
  }
  Retained<UIViewController> leaving = std::move(presented_);
  leaving->presenting_ = nullptr;
  lastTransitionAnimated_ = leaving->lastTransitionAnimated_ = animated;
  leaving->beginAppearanceTransition(false, animated);
  leaving->endAppearanceTransition(animated);
  if (completion) completion();
}

void UIViewController::beginAppearanceTransition(bool appearing, bool animated) {
  transitionAppearing_ = appearing;
  if (appearing) view();
  objc::send(this, appearing ? "viewWillAppear:" : "viewWillDisappear:", animated);
}

void UIViewController::endAppearanceTransition(bool animated) {
  appearing_ = transitionAppearing_;
  objc::send(this, appearing_ ? "viewDidAppear:" : "viewDidDisappear:", animated);
}

Class UINavigationController::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UINavigationController>("UINavigationController", UIViewController::class_());
    objc::addMethod<&UINavigationController::viewWillAppear>(registered, "viewWillAppear:");
    objc::addMethod<&UINavigationController::viewDidAppear>(registered, "viewDidAppear:");
    objc::addMethod<&UINavigationController::viewWillDisappear>(registered, "viewWillDisappear:");
    objc::addMethod<&UINavigationController::viewDidDisappear>(registered, "viewDidDisappear:");
    objc::addMethod<&UINavigationController::init>(registered, "init");
    objc::addMethod<&UINavigationController::navigationBar>(registered, "navigationBar");
    objc::addMethod<&UINavigationController::topViewController>(registered, "topViewController");
    objc::addMethod<&UINavigationController::pushViewController_animated>(registered, "pushViewController:animated:");
    return registered;
  }();
  return cls;
}

Retained<UINavigationController> UINavigationController::controllerWithRootViewController(UIViewController* root) {
  auto made = objc::alloc<UINavigationController>();
  made->init();
  if (root) made->adopt(root);
  return made;
}

UINavigationController* UINavigationController::init() {
  navigationBar_ = UINavigationBar::bar();
  return this;
}

void UINavigationController::adopt(UIViewController* controller) {
  controller->navigationController_ = this;
  viewControllers_.push_back(Retained<UIViewController>::retain(controller));
}

UIViewController* UINavigationController::topViewController() const {
  return viewControllers_.empty() ? nullptr : viewControllers_.back().get();
}

void UINavigationController::pushViewController_animated(UIViewController* controller, bool animated) {
  if (!controller) return;
  UIViewController* previous = topViewController();
  controller->view();
  adopt(controller);
  if (!appearing_) return;
  if (previous) previous->beginAppearanceTransition(false, animated);
  controller->beginAppearanceTransition(true, animated);
  if (previous) previous->endAppearanceTransition(animated);
  controller->endAppearanceTransition(animated);
}

Retained<UIViewController> UINavigationController::popViewControllerAnimated(bool animated) {
  if (viewControllers_.size() < 2) return nullptr;
  Retained<UIViewController> leaving = viewControllers_.back();
  viewControllers_.pop_back();
  UIViewController* revealed = topViewController();
  if (appearing_) {
    leaving->beginAppearanceTransition(false, animated);
    revealed->beginAppearanceTransition(true, animated);
    leaving->endAppearanceTransition(animated);
    revealed->endAppearanceTransition(animated);
  }
  leaving->navigationController_ = nullptr;
  return leaving;
}

void UINavigationController::viewWillAppear(bool animated) {
  if (UIViewController* top = topViewController()) top->beginAppearanceTransition(true, animated);
}
void UINavigationController::viewDidAppear(bool animated) {
  if (UIViewController* top = topViewController()) top->endAppearanceTransition(animated);
}
void UINavigationController::viewWillDisappear(bool animated) {
  if (UIViewController* top = topViewController()) top->beginAppearanceTransition(false, animated);
}
void UINavigationController::viewDidDisappear(bool animated) {
  if (UIViewController* top = topViewController()) top->endAppearanceTransition(animated);
}

namespace {
[[maybe_unused]] const Class registeredController = UIViewController::class_();
[[maybe_unused]] const Class registered = UINavigationController::class_();
}
