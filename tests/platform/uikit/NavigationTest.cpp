#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/objc/Methods.h"
#include "platform/uikit/UIKit.h"

namespace {

std::vector<std::string> events;

/// A screen that notes each callback it gets.
class Recorder : public UIViewController {
 public:
  static Class class_() {
    static Class cls = [] {
      Class registered = objc_registerCppClass<Recorder>("Recorder", UIViewController::class_());
      objc::addMethod<&Recorder::loadView>(registered, "loadView");
      objc::addMethod<&Recorder::viewWillAppear>(registered, "viewWillAppear:");
      objc::addMethod<&Recorder::viewDidAppear>(registered, "viewDidAppear:");
      objc::addMethod<&Recorder::viewWillDisappear>(registered, "viewWillDisappear:");
      objc::addMethod<&Recorder::viewDidDisappear>(registered, "viewDidDisappear:");
      return registered;
    }();
    return cls;
  }
  static Retained<Recorder> named(const char* name) {
    Retained<UIViewController> made = UIViewController::controller(class_());
    auto* recorder = objc_cast<Recorder>(made.get());
    recorder->name_ = name;
    return objc::retain(recorder);
  }

  void loadView() {
    note("loadView");
    UIViewController::loadView();
  }
  void viewWillAppear(bool) { note("willAppear"); }
  void viewDidAppear(bool) { note("didAppear"); }
  void viewWillDisappear(bool) { note("willDisappear"); }
  void viewDidDisappear(bool) { note("didDisappear"); }

 private:
  void note(const char* what) { events.push_back(name_ + " " + what); }
  std::string name_;
};

using Events = std::vector<std::string>;

Events take() { return std::exchange(events, {}); }

Retained<UINavigationController> onScreen(UIViewController* root) {
  auto navigation = UINavigationController::controllerWithRootViewController(root);
  navigation->beginAppearanceTransition(true, false);
  navigation->endAppearanceTransition(false);
  return navigation;
}

}  // namespace

TEST(Navigation, PushAndPopSendTheCallbacksOfBothScreensInTransitionOrder) {
  auto first = Recorder::named("A");
  auto navigation = onScreen(first.get());
  EXPECT_EQ(take(), (Events{"A loadView", "A willAppear", "A didAppear"}));

  auto second = Recorder::named("B");
  navigation->pushViewController_animated(second.get(), true);
  EXPECT_EQ(take(), (Events{"B loadView", "A willDisappear", "B willAppear", "A didDisappear", "B didAppear"}));
  EXPECT_EQ(second->navigationController(), navigation.get());
  EXPECT_TRUE(second->isAppearing());
  EXPECT_FALSE(first->isAppearing());

  Retained<UIViewController> popped = navigation->popViewControllerAnimated(true);
  EXPECT_EQ(popped.get(), second.get());
  EXPECT_EQ(take(), (Events{"B willDisappear", "A willAppear", "B didDisappear", "A didAppear"}));
  EXPECT_EQ(second->navigationController(), nullptr);
  EXPECT_TRUE(first->isAppearing());

  EXPECT_FALSE(navigation->popViewControllerAnimated(true)) << "the root stays";
  EXPECT_EQ(take(), Events{});
}

TEST(Navigation, OffScreenAPushLoadsTheViewButSendsNoCallbacks) {
  auto first = Recorder::named("A");
  auto navigation = UINavigationController::controllerWithRootViewController(first.get());
  auto second = Recorder::named("B");
  navigation->pushViewController_animated(second.get(), false);
  EXPECT_EQ(take(), Events{"B loadView"});
  EXPECT_EQ(navigation->topViewController(), second.get());
  navigation->popViewControllerAnimated(false);
  EXPECT_EQ(take(), Events{});
}

TEST(Navigation, ANestedNavigationControllerForwardsToItsTopScreen) {
  auto start = Recorder::named("S");
  auto application = onScreen(start.get());
  auto page = Recorder::named("P");
  auto nested = UINavigationController::controllerWithRootViewController(page.get());
  take();
  application->pushViewController_animated(nested.get(), true);
  EXPECT_EQ(take(), (Events{"S willDisappear", "P loadView", "P willAppear", "S didDisappear", "P didAppear"}));
  EXPECT_EQ(page->navigationController(), nested.get());
  EXPECT_EQ(nested->navigationController(), application.get());
  EXPECT_NE(nested->navigationBar(), application->navigationBar());

  application->popViewControllerAnimated(true);
  EXPECT_EQ(take(), (Events{"P willDisappear", "S willAppear", "P didDisappear", "S didAppear"}));
}

TEST(SwitchAppearance, TintsOnlySwitchesInsideControllersOfTheContainerClass) {
  Class child = objc_allocateClassPair(Recorder::class_(), "RecorderChild", 0);
  objc_registerClassPair(child);
  auto red = UIColor::colorWithRed_green_blue_alpha(1, 0, 0, 1);
  auto green = UIColor::colorWithRed_green_blue_alpha(0, 1, 0, 1);
  auto blue = UIColor::colorWithRed_green_blue_alpha(0, 0, 1, 1);
  UISwitchAppearance* proxy = UISwitch::appearanceWhenContainedIn(Recorder::class_());
  EXPECT_EQ(UISwitch::appearanceWhenContainedIn(Recorder::class_()), proxy);
  proxy->setOnTintColor(red.get());

  auto inside = [](Class container) {
    auto control = UISwitch::switchControl();
    Retained<UIViewController> controller = container ? UIViewController::controller(container) : nullptr;
    control->setContainer(controller.get());
    return foundation::describe(control->onTintColor());
  };
  EXPECT_EQ(inside(Recorder::class_()), red->description());
  EXPECT_EQ(inside(child), red->description()) << "a subclass is contained in its superclass's proxy";
  EXPECT_EQ(inside(UIViewController::class_()), "(null)");
  EXPECT_EQ(inside(UINavigationController::class_()), "(null)");
  EXPECT_EQ(inside(nullptr), "(null)");

  UISwitch::appearanceWhenContainedIn(child)->setOnTintColor(green.get());
  EXPECT_EQ(inside(child), green->description());
  EXPECT_EQ(inside(Recorder::class_()), red->description());

  auto own = UISwitch::switchControl();
  auto container = UIViewController::controller(Recorder::class_());
  own->setContainer(container.get());
  own->setOnTintColor(blue.get());
  EXPECT_EQ(own->onTintColor(), blue.get()) << "a switch's own tint comes first";
}

TEST(SwitchAppearance, ContainersAreLookedForFromTheSwitchOutwards) {
  Class page = objc_allocateClassPair(UIViewController::class_(), "ListedPage", 0);
  objc_registerClassPair(page);
  auto red = UIColor::colorWithRed_green_blue_alpha(1, 0, 0, 1);
  auto green = UIColor::colorWithRed_green_blue_alpha(0, 1, 0, 1);
  auto blue = UIColor::colorWithRed_green_blue_alpha(0, 0, 1, 1);
  auto tintIn = [](UIViewController* controller) {
    auto control = UISwitch::switchControl();
    control->setContainer(controller);
    return foundation::describe(control->onTintColor());
  };
  auto pageAlone = UIViewController::controller(page);
  auto pageInStack = UIViewController::controller(page);
  auto stack = UINavigationController::controllerWithRootViewController(pageInStack.get());
  auto presenter = UIViewController::controller(UIViewController::class_());
  auto presentedPage = UIViewController::controller(page);
  auto presenterStack = UINavigationController::controllerWithRootViewController(presenter.get());
  presenter->presentViewController_animated_completion(presentedPage.get(), false, nullptr);

  UISwitch::appearanceWhenContainedIn(UINavigationController::class_())->setOnTintColor(red.get());
  EXPECT_EQ(tintIn(pageInStack.get()), red->description()) << "the navigation controller holds the page";
  EXPECT_EQ(tintIn(pageAlone.get()), "(null)");

  // The innermost container first: a page, itself in a navigation controller.
  UISwitch::appearanceWhenContainedIn({page, UINavigationController::class_()})->setOnTintColor(green.get());
  EXPECT_EQ(tintIn(pageInStack.get()), green->description());
  EXPECT_EQ(tintIn(presentedPage.get()), green->description()) << "presented from inside a navigation controller";
  EXPECT_EQ(tintIn(pageAlone.get()), "(null)");
  EXPECT_EQ(UISwitch::appearanceWhenContainedIn({page, UINavigationController::class_()})->onTintColor(), green.get());

  UISwitch::appearanceWhenContainedIn({UINavigationController::class_(), page})->setOnTintColor(blue.get());
  EXPECT_EQ(tintIn(pageInStack.get()), green->description()) << "the order of the list counts";
}
