// UIKit through the device face: every call is a send the stand-in answers by
// selector. Objects handed back at +0 are kept only by what the face retains,
// so a result the stand-in forgets to hand to the pool, or releases too soon,
// shows in the address sanitizer's build as a leak or a use after free.

#include <gtest/gtest.h>
#include <png.h>

#include <memory>
#include <string>

#include "platform/objc/AutoreleasePool.h"
#include "Samples.h"
#include "TemporaryDevice.h"
#include "platform/uikit/UIKit.h"
#include "support/Objects.h"

// The stand-in's clock, driven by the test so that animations end when it says.
namespace foundation::clock {
void useTestClock();
void advance(double seconds);
}  // namespace foundation::clock

namespace {

/// A string for the innermost pool, made with the methods this test needs of Foundation.
NSString* text(std::string_view characters) { return NSString::stringWithUTF8String(characters).autorelease(); }

template <class T>
Retained<T> makeView(CGRect frame) {
  return orvane::as<T>(objc::allocInit<UIView>(T::class_(), ORVANE_SEL("initWithFrame:"), frame));
}

template <class T>
Retained<T> makeController() {
  return orvane::as<T>(UIViewController::controller(T::class_()));
}

template <class R, class Self, class... Args>
void addMethodTo(Class cls, const char* selector, R (*function)(Self*, SEL, Args...)) {
  class_addMethod(cls, sel_registerName(selector), reinterpret_cast<IMP>(function), objc::signature<R, Args...>().c_str());
}

TEST(DeviceFaceUIKit, ViewsKeepTheirGeometryColourAndSubviews) {
  AutoreleasePool pool;
  Retained<UIView> view = makeView<UIView>(CGRectMake(1, 2, 30, 40));
  ASSERT_TRUE(view);
  EXPECT_EQ(view->frame(), CGRectMake(1, 2, 30, 40));
  view->setFrame(CGRectMake(0, 0, 100, 100));
  EXPECT_EQ(view->frame(), CGRectMake(0, 0, 100, 100));
  EXPECT_EQ(view->alpha(), 1);
  view->setAlpha(0.25);
  EXPECT_EQ(view->alpha(), 0.25);
  EXPECT_FALSE(view->clipsToBounds());
  view->setClipsToBounds(true);
  EXPECT_TRUE(view->clipsToBounds());

  EXPECT_FALSE(view->backgroundColor());
  {
    AutoreleasePool inner;
    view->setBackgroundColor(UIColor::colorWithRed_green_blue_alpha(0.1, 0.2, 0.3, 1).get());
  }
  // The view alone keeps the colour now.
  Retained<UIColor> same = UIColor::colorWithRed_green_blue_alpha(0.1, 0.2, 0.3, 1);
  ASSERT_TRUE(view->backgroundColor());
  EXPECT_TRUE(view->backgroundColor()->isEqualToColor(same.get()));

  Retained<UIView> child = makeView<UIView>(CGRectMake(5, 5, 10, 10));
  UIView* added = child.get();
  view->addSubview(added);
  child = nullptr;
  EXPECT_EQ(added->superview(), view.get()) << "the superview keeps its subview";
  Retained<UIView> kept = objc::retain(added);
  added->removeFromSuperview();
  EXPECT_FALSE(added->superview());
}

TEST(DeviceFaceUIKit, ALayerIsMadeOnceAndTakesItsShadow) {
  AutoreleasePool pool;
  Retained<UIView> view = makeView<UIView>(CGRectMake(0, 0, 10, 10));
  CALayer* layer = view->layer();
  ASSERT_TRUE(layer);
  EXPECT_EQ(view->layer(), layer);
  layer->setShadowColor(UIColor::blackColor()->CGColor());
  layer->setShadowOffset(CGSize{0, 2});
  layer->setShadowOpacity(0.5f);
  layer->setShadowRadius(4);
  EXPECT_TRUE(objc::sendMessage<CGColorRef>(layer, ORVANE_SEL("shadowColor")));
  EXPECT_EQ(objc::sendMessage<CGSize>(layer, ORVANE_SEL("shadowOffset")), (CGSize{0, 2}));
  EXPECT_EQ(objc::sendMessage<float>(layer, ORVANE_SEL("shadowOpacity")), 0.5f);
  EXPECT_EQ(objc::sendMessage<CGFloat>(layer, ORVANE_SEL("shadowRadius")), 4);
}

TEST(DeviceFaceUIKit, ConstraintsPlaceASubview) {
  AutoreleasePool pool;
  Retained<UIView> container = makeView<UIView>(CGRectMake(0, 0, 200, 100));
  Retained<UIView> child = makeView<UIView>(CGRectZero);
  container->addSubview(child.get());
  EXPECT_TRUE(child->translatesAutoresizingMaskIntoConstraints());
  child->setTranslatesAutoresizingMaskIntoConstraints(false);
  EXPECT_FALSE(child->translatesAutoresizingMaskIntoConstraints());
  {
    AutoreleasePool inner;
    auto pin = [&](NSLayoutAttribute attribute, UIView* to, NSLayoutAttribute toAttribute, CGFloat multiplier,
                   CGFloat constant) {
      Retained<NSLayoutConstraint> constraint =
          NSLayoutConstraint::constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
              child.get(), attribute, NSLayoutRelationEqual, to, toAttribute, multiplier, constant);
      ASSERT_TRUE(constraint);
      container->addConstraint(constraint.get());
    };
    pin(NSLayoutAttributeLeft, container.get(), NSLayoutAttributeLeft, 1, 10);
    pin(NSLayoutAttributeTop, container.get(), NSLayoutAttributeTop, 1, 20);
    pin(NSLayoutAttributeWidth, nullptr, NSLayoutAttributeNotAnAttribute, 1, 30);
    pin(NSLayoutAttributeHeight, container.get(), NSLayoutAttributeHeight, 0.5, 0);
  }
  // The container keeps its constraints after the pool has let go of them.
  container->layoutIfNeeded();
  EXPECT_EQ(child->frame(), CGRectMake(10, 20, 30, 50));
}

TEST(DeviceFaceUIKit, AnimationsRunAtOnceAndTheCompletionWhenTheyEnd) {
  foundation::clock::useTestClock();
  AutoreleasePool pool;
  Retained<UIView> view = makeView<UIView>(CGRectMake(0, 0, 10, 10));
  auto animationToken = std::make_shared<int>(0);
  auto completionToken = std::make_shared<int>(0);
  std::weak_ptr<int> animationWatch = animationToken, completionWatch = completionToken;
  int finishedCalls = 0;
  bool finishedFlag = false;
  UIView::animateWithDuration_animations_completion(
      0.3, [&view, token = std::move(animationToken)] { view->setAlpha(0); },
      [&, token = std::move(completionToken)](bool finished) {
        ++finishedCalls;
        finishedFlag = finished;
      });
  EXPECT_EQ(view->alpha(), 0) << "the animations ran during the call";
  EXPECT_TRUE(animationWatch.expired()) << "nothing keeps the animations block";
  EXPECT_FALSE(completionWatch.expired()) << "the completion block is kept until it has run";
  EXPECT_EQ(finishedCalls, 0);
  foundation::clock::advance(0.2);
  EXPECT_EQ(finishedCalls, 0);
  foundation::clock::advance(0.2);
  EXPECT_EQ(finishedCalls, 1);
  EXPECT_TRUE(finishedFlag);
  EXPECT_TRUE(completionWatch.expired()) << "the completion block is released once it has run";

  UIView::animateWithDuration_animations_completion(0.1, [&] { view->setAlpha(1); }, nullptr);
  foundation::clock::advance(0.2);
  EXPECT_EQ(view->alpha(), 1);
  EXPECT_EQ(finishedCalls, 1);
}

TEST(DeviceFaceUIKit, ControllersLoadTheirViewAndCarryTheirTitle) {
  AutoreleasePool pool;
  Retained<UIViewController> controller = makeController<UIViewController>();
  ASSERT_TRUE(controller);
  EXPECT_FALSE(controller->isViewLoaded());
  UIView* loaded = controller->view();
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(controller->isViewLoaded());
  EXPECT_EQ(controller->view(), loaded);
  Retained<UIView> replacement = makeView<UIView>(CGRectMake(0, 0, 5, 5));
  controller->setView(replacement.get());
  EXPECT_EQ(controller->view(), replacement.get());

  Retained<NSString> title = NSString::stringWithUTF8String("Orvane");
  controller->setTitle(title.get());
  EXPECT_EQ(orvane::utf8(controller->title()), "Orvane");
  UINavigationItem* item = controller->navigationItem();
  ASSERT_TRUE(item);
  EXPECT_EQ(controller->navigationItem(), item);
  EXPECT_EQ(orvane::utf8(item->title()), "Orvane") << "the title shows in the navigation bar";
  item->setTitle(text("Sounds"));
  EXPECT_EQ(orvane::utf8(item->title()), "Sounds");
  Retained<UIView> titleView = makeView<UIView>(CGRectMake(0, 0, 40, 20));
  item->setTitleView(titleView.get());
  EXPECT_EQ(item->titleView(), titleView.get());
  Retained<UIBarButtonItem> button = UIBarButtonItem::itemWithSystemItem_target_action(
      UIBarButtonSystemItemCompose, controller.get(), ORVANE_SEL("compose:"));
  ASSERT_TRUE(button);
  EXPECT_EQ(button->target(), controller.get());
  EXPECT_EQ(button->action(), ORVANE_SEL("compose:"));
  item->setRightBarButtonItem(button.get());
  EXPECT_EQ(item->rightBarButtonItem(), button.get());
  EXPECT_FALSE(controller->navigationController());
}

UIView* loadedView = nullptr;

TEST(DeviceFaceUIKit, AControllerSubclassLoadsItsOwnView) {
  AutoreleasePool pool;
  Class cls = objc_allocateClassPair(UIViewController::class_(), "FaceTestController", 0);
  ASSERT_TRUE(cls);
  addMethodTo(cls, "loadView", +[](UIViewController* self, SEL) {
    Retained<UIView> view = makeView<UIView>(CGRectMake(0, 0, 7, 7));
    loadedView = view.get();
    self->setView(view.get());
  });
  objc_registerClassPair(cls);
  Retained<UIViewController> controller = UIViewController::controller(cls);
  ASSERT_TRUE(controller);
  EXPECT_EQ(controller->view(), loadedView);
  EXPECT_EQ(controller->view()->frame(), CGRectMake(0, 0, 7, 7));
}

TEST(DeviceFaceUIKit, PresentingAndDismissingRunTheirCompletions) {
  AutoreleasePool pool;
  Retained<UIViewController> presenter = makeController<UIViewController>();
  Retained<UIViewController> presented = makeController<UIViewController>();
  UIViewController* shown = presented.get();
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  int completions = 0;
  presenter->presentViewController_animated_completion(shown, true,
                                                        [&completions, token = std::move(token)] { ++completions; });
  EXPECT_EQ(completions, 1);
  EXPECT_TRUE(watch.expired()) << "the completion block is released once it has run";
  presented = nullptr;
  EXPECT_EQ(presenter->presentedViewController(), shown) << "the presenter keeps what it presents";
  EXPECT_EQ(shown->presentingViewController(), presenter.get());
  EXPECT_TRUE(shown->isViewLoaded());

  // Asked of the presented controller, the dismissal goes to its presenter.
  Retained<UIViewController> keep = objc::retain(shown);
  shown->dismissViewControllerAnimated_completion(false, [&] { ++completions; });
  EXPECT_EQ(completions, 2);
  EXPECT_FALSE(presenter->presentedViewController());
  EXPECT_FALSE(shown->presentingViewController());

  presenter->presentViewController_animated_completion(shown, false, nullptr);
  EXPECT_EQ(presenter->presentedViewController(), shown);
  presenter->dismissViewControllerAnimated_completion(false, nullptr);
  EXPECT_FALSE(presenter->presentedViewController());
}

TEST(DeviceFaceUIKit, ANavigationControllerHasABarAndAStack) {
  AutoreleasePool pool;
  Retained<UINavigationController> navigation = makeController<UINavigationController>();
  ASSERT_TRUE(navigation);
  UINavigationBar* bar = navigation->navigationBar();
  ASSERT_TRUE(bar);
  EXPECT_TRUE(bar->isKindOfClass(UINavigationBar::class_()));
  EXPECT_FALSE(navigation->topViewController());

  Retained<UIViewController> root = makeController<UIViewController>();
  navigation->pushViewController_animated(root.get(), false);
  EXPECT_EQ(navigation->topViewController(), root.get());
  EXPECT_EQ(root->navigationController(), navigation.get());
  Retained<UIViewController> next = makeController<UIViewController>();
  UIViewController* pushed = next.get();
  navigation->pushViewController_animated(pushed, true);
  next = nullptr;
  EXPECT_EQ(navigation->topViewController(), pushed) << "the stack keeps what is pushed";

  EXPECT_FALSE(bar->tintColor());
  bar->setTintColor(UIColor::whiteColor());
  EXPECT_EQ(bar->tintColor(), UIColor::whiteColor());
  {
    AutoreleasePool inner;
    bar->setBarTintColor(UIColor::colorWithRed_green_blue_alpha(0, 0.5, 1, 1).get());
  }
  ASSERT_TRUE(bar->barTintColor());
  EXPECT_TRUE(bar->barTintColor()->isEqualToColor(UIColor::colorWithRed_green_blue_alpha(0, 0.5, 1, 1).get()));
  bar->setBarTintColor(nullptr);
  EXPECT_FALSE(bar->barTintColor()) << "nil restores the default look";
  Retained<NSDictionary> attributes = NSDictionary::dictionary();
  bar->setTitleTextAttributes(attributes.get());
  EXPECT_EQ(bar->titleTextAttributes(), attributes.get());
  EXPECT_EQ(orvane::utf8(NSForegroundColorAttributeName), "NSColor");
}

TEST(DeviceFaceUIKit, ColoursCompareByComponents) {
  AutoreleasePool pool;
  Retained<UIColor> white = UIColor::colorWithRed_green_blue_alpha(1, 1, 1, 1);
  ASSERT_TRUE(white);
  EXPECT_NE(white.get(), UIColor::whiteColor());
  EXPECT_TRUE(white->isEqualToColor(UIColor::whiteColor()));
  EXPECT_TRUE(UIColor::whiteColor()->isEqualToColor(white.get()));
  EXPECT_FALSE(white->isEqualToColor(UIColor::grayColor()));
  EXPECT_EQ(UIColor::whiteColor(), UIColor::whiteColor()) << "one shared object";
  for (UIColor* ready : {UIColor::blackColor(), UIColor::clearColor(), UIColor::grayColor(), UIColor::darkGrayColor()}) {
    ASSERT_TRUE(ready);
    EXPECT_FALSE(ready->isEqualToColor(UIColor::whiteColor()));
    EXPECT_TRUE(ready->CGColor());
  }
  EXPECT_FALSE(UIColor::blackColor()->isEqualToColor(UIColor::clearColor())) << "alpha counts";
  Retained<UIView> view = makeView<UIView>(CGRectZero);
  EXPECT_FALSE(white->isEqualToColor(reinterpret_cast<UIColor*>(view.get()))) << "a view is no colour";
  EXPECT_FALSE(white->isEqualToColor(nullptr));
}

TEST(DeviceFaceUIKit, LabelsHoldTextColourFontAndLayout) {
  AutoreleasePool pool;
  Retained<UILabel> label = UILabel::label();
  ASSERT_TRUE(label);
  EXPECT_FALSE(label->text());
  EXPECT_EQ(label->numberOfLines(), 1);
  EXPECT_EQ(label->textAlignment(), NSTextAlignmentLeft);
  {
    AutoreleasePool inner;
    label->setText(NSString::stringWithUTF8String("Volume up").get());
    label->setFont(UIFont::fontWithName_size(text("HelveticaNeue-Light"), 17).get());
    label->setTextColor(UIColor::colorWithRed_green_blue_alpha(1, 0, 0, 1).get());
  }
  EXPECT_EQ(orvane::utf8(label->text()), "Volume up");
  ASSERT_TRUE(label->font());
  EXPECT_EQ(orvane::utf8(label->font()->fontName()), "HelveticaNeue-Light");
  EXPECT_EQ(label->font()->pointSize(), 17);
  ASSERT_TRUE(label->textColor());
  EXPECT_TRUE(label->textColor()->isEqualToColor(UIColor::colorWithRed_green_blue_alpha(1, 0, 0, 1).get()));
  label->setNumberOfLines(0);
  EXPECT_EQ(label->numberOfLines(), 0);
  label->setTextAlignment(NSTextAlignmentCenter);
  EXPECT_EQ(label->textAlignment(), NSTextAlignmentCenter);

  Retained<UIFont> system = UIFont::systemFontOfSize(13);
  ASSERT_TRUE(system);
  EXPECT_EQ(system->pointSize(), 13);
  EXPECT_FALSE(orvane::utf8(system->fontName()).empty());
}

TEST(DeviceFaceUIKit, SwitchesAndTheirAppearanceProxies) {
  AutoreleasePool pool;
  Retained<UISwitch> control = makeView<UISwitch>(CGRectMake(0, 0, 51, 31));
  ASSERT_TRUE(control);
  EXPECT_FALSE(control->isOn());
  control->setOn(true);
  EXPECT_TRUE(control->isOn());
  EXPECT_FALSE(control->onTintColor());
  control->setOnTintColor(UIColor::grayColor());
  EXPECT_EQ(control->onTintColor(), UIColor::grayColor());

  UISwitchAppearance* proxy = UISwitch::appearanceWhenContainedIn(UINavigationController::class_());
  ASSERT_TRUE(proxy);
  EXPECT_EQ(UISwitch::appearanceWhenContainedIn(UINavigationController::class_()), proxy) << "one proxy per container";
  EXPECT_NE(UISwitch::appearanceWhenContainedIn(UIViewController::class_()), proxy);
  proxy->setOnTintColor(UIColor::darkGrayColor());

  // The whole nil-terminated list is read: two containers make another proxy.
  auto inBoth = [] {
    return objc::sendVariadic<UISwitchAppearance*, Class>(UISwitch::class_(), ORVANE_SEL("appearanceWhenContainedIn:"),
                                                          UIViewController::class_(), UINavigationController::class_(),
                                                          static_cast<Class>(nullptr));
  };
  UISwitchAppearance* nested = inBoth();
  ASSERT_TRUE(nested);
  EXPECT_NE(nested, proxy);
  EXPECT_NE(nested, UISwitch::appearanceWhenContainedIn(UIViewController::class_()));
  EXPECT_EQ(inBoth(), nested);
}

struct Rows {
  long count = 3;
  int made = 0;
  long lastSection = -1;
};
Rows rows;

Class rowsSource() {
  Class cls = objc_allocateClassPair(NSObject::class_(), "FaceTestRows", 0);
  addMethodTo(cls, "tableView:numberOfRowsInSection:", +[](NSObject*, SEL, UITableView*, long) { return rows.count; });
  addMethodTo(cls, "tableView:cellForRowAtIndexPath:", +[](NSObject*, SEL, UITableView* table, NSIndexPath* path) {
    rows.lastSection = path->section();
    Retained<UITableViewCell> cell = table->dequeueReusableCellWithIdentifier(text("Row"));
    if (!cell) {
      cell = objc::allocInit<UITableViewCell>(UITableViewCell::class_(), ORVANE_SEL("initWithStyle:reuseIdentifier:"),
                                              long{UITableViewCellStyleDefault}, text("Row"));
      ++rows.made;
    }
    cell->textLabel()->setText(NSString::stringWithUTF8String(std::to_string(path->row())).get());
    return cell.autorelease();
  });
  objc_registerClassPair(cls);
  return cls;
}

TEST(DeviceFaceUIKit, TablesAskTheirSourceAndReuseCells) {
  AutoreleasePool pool;
  Retained<NSIndexPath> path = NSIndexPath::indexPathForRow_inSection(3, 1);
  ASSERT_TRUE(path);
  EXPECT_EQ(path->row(), 3);
  EXPECT_EQ(path->section(), 1);

  Retained<UITableView> table = makeView<UITableView>(CGRectMake(0, 0, 320, 480));
  ASSERT_TRUE(table);
  table->reloadData();
  EXPECT_FALSE(table->dequeueReusableCellWithIdentifier(text("Row"))) << "nothing loaded, nothing to reuse";
  Retained<NSObject> source = objc::allocInit<NSObject>(rowsSource(), ORVANE_SEL("init"));
  objc::sendMessage<void>(table.get(), ORVANE_SEL("setDataSource:"), source.get());
  {
    AutoreleasePool inner;
    table->reloadData();
  }
  EXPECT_EQ(rows.made, 3);
  EXPECT_EQ(rows.lastSection, 0);
  {
    AutoreleasePool inner;
    table->reloadData();
  }
  EXPECT_EQ(rows.made, 3) << "the cells of the first load were reused";
  EXPECT_FALSE(table->dequeueReusableCellWithIdentifier(text("Row"))) << "every reusable cell is shown again";

  rows.count = 1;
  Retained<UITableViewCell> spare;
  {
    AutoreleasePool inner;
    table->reloadData();
    spare = table->dequeueReusableCellWithIdentifier(text("Row"));
  }
  ASSERT_TRUE(spare) << "two cells were left over";
  EXPECT_EQ(orvane::utf8(spare->reuseIdentifier()), "Row");
  EXPECT_FALSE(table->dequeueReusableCellWithIdentifier(text("Other")));
}

TEST(DeviceFaceUIKit, CellsMakeTheirLabelsAndHoldTheirAccessory) {
  AutoreleasePool pool;
  Retained<UITableViewCell> cell = makeView<UITableViewCell>(CGRectMake(0, 0, 320, 44));
  ASSERT_TRUE(cell);
  EXPECT_FALSE(cell->reuseIdentifier());
  UILabel* title = cell->textLabel();
  ASSERT_TRUE(title);
  EXPECT_EQ(cell->textLabel(), title);
  EXPECT_EQ(title->superview(), cell.get());
  UILabel* detail = cell->detailTextLabel();
  ASSERT_TRUE(detail);
  EXPECT_NE(detail, title);
  EXPECT_EQ(detail->superview(), cell.get());

  EXPECT_FALSE(cell->accessoryView());
  {
    AutoreleasePool inner;
    cell->setAccessoryView(makeView<UISwitch>(CGRectMake(0, 0, 51, 31)).get());
  }
  ASSERT_TRUE(cell->accessoryView());
  EXPECT_EQ(cell->accessoryView()->superview(), cell.get());
  EXPECT_TRUE(cell->accessoryView()->isKindOfClass(UISwitch::class_()));
  EXPECT_EQ(cell->accessoryType(), UITableViewCellAccessoryNone);
  cell->setAccessoryType(UITableViewCellAccessoryCheckmark);
  EXPECT_EQ(cell->accessoryType(), UITableViewCellAccessoryCheckmark);
}

TEST(DeviceFaceUIKit, ImagesAreReadAtTheScreensScale) {
  testsupport::TemporaryDevice device;
  testsupport::writeFile(device.host("/art/logo.png"), testsupport::encodePng(10, 4, PNG_FORMAT_RGBA));
  testsupport::writeFile(device.host("/art/logo@2x.png"), testsupport::encodePng(20, 8, PNG_FORMAT_RGBA));
  AutoreleasePool pool;
  EXPECT_FALSE(UIImage::imageWithContentsOfFile(text("/art/missing.png")));
  EXPECT_FALSE(UIImage::imageWithContentsOfFile(nullptr));
  Retained<UIImage> image;
  {
    AutoreleasePool inner;
    image = UIImage::imageWithContentsOfFile(text("/art/logo.png"));
  }
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), (CGSize{10, 4}));
  EXPECT_EQ(image->scale(), 2);
  Retained<UIImage> tinted = image->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate);
  ASSERT_TRUE(tinted);
  EXPECT_NE(tinted.get(), image.get());
  EXPECT_EQ(tinted->size(), image->size());

  Retained<UIImageView> view = UIImageView::imageViewWithImage(tinted.get());
  ASSERT_TRUE(view);
  tinted = nullptr;
  ASSERT_TRUE(view->image()) << "the view keeps its image";
  EXPECT_EQ(view->image()->size(), (CGSize{10, 4}));
  EXPECT_EQ(view->frame(), CGRectMake(0, 0, 10, 4)) << "the view takes the image's size";
  Retained<UIImageView> empty = UIImageView::imageViewWithImage(nullptr);
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty->image());
  EXPECT_EQ(empty->frame(), CGRectZero);
}

TEST(DeviceFaceUIKit, TheApplicationAndTheDeviceAreShared) {
  testsupport::TemporaryDevice device;
  AutoreleasePool pool;
  UIApplication* application = UIApplication::sharedApplication();
  ASSERT_TRUE(application);
  EXPECT_EQ(UIApplication::sharedApplication(), application);
  EXPECT_EQ(application->statusBarStyle(), UIStatusBarStyleDefault);
  application->setStatusBarStyle(UIStatusBarStyleLightContent);
  EXPECT_EQ(UIApplication::sharedApplication()->statusBarStyle(), UIStatusBarStyleLightContent);

  NSObject* current = UIDevice::currentDevice();
  ASSERT_TRUE(current);
  EXPECT_EQ(UIDevice::currentDevice(), current);
  ASSERT_TRUE(current->isKindOfClass(UIDevice::class_()));
  EXPECT_EQ(static_cast<UIDevice*>(current)->userInterfaceIdiom(), UIUserInterfaceIdiomPhone);
}

TEST(DeviceFaceUIKit, ASendOfTheWrongTypesIsRefusedByName) {
  AutoreleasePool pool;
  Retained<UIView> view = makeView<UIView>(CGRectZero);
  try {
    objc::sendMessage<void>(view.get(), ORVANE_SEL("setFrame:"), 1.0);
    ADD_FAILURE() << "a double was taken for a rectangle";
  } catch (const std::exception& refused) {
    std::string message = refused.what();
    EXPECT_NE(message.find("UIView"), std::string::npos) << message;
    EXPECT_NE(message.find("setFrame:"), std::string::npos) << message;
  }
  try {
    objc::sendMessage<void>(view.get(), ORVANE_SEL("setTitle:"), static_cast<objc_object*>(nullptr));
    ADD_FAILURE() << "a view took a title";
  } catch (const std::exception& refused) {
    EXPECT_NE(std::string(refused.what()).find("unrecognized selector"), std::string::npos) << refused.what();
  }
}

}  // namespace
