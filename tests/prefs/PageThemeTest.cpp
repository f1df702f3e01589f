#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "contract/Orvane.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "tests/prefs/SettingsBundle.h"

using namespace settingsbundle;

namespace {

// The components exactly as the pages compute them, in single precision.
struct Components {
  CGFloat red, green, blue;
};
constexpr Components theme{65 / 255.0f, 169 / 255.0f, 214 / 255.0f};
constexpr Components rowTitle{22 / 255.0f, 36 / 255.0f, 51 / 255.0f};

testing::AssertionResult hasColour(const UIColor* colour, Components expected) {
  if (!colour) return testing::AssertionFailure() << "no colour";
  if (colour->red() == expected.red && colour->green() == expected.green && colour->blue() == expected.blue &&
      colour->alpha() == 1)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << colour->description();
}

testing::AssertionResult isThemed(UINavigationBar* bar) {
  if (!hasColour(bar->tintColor(), {1, 1, 1})) return testing::AssertionFailure() << "tint " << foundation::describe(bar->tintColor());
  if (auto barTint = hasColour(bar->barTintColor(), theme); !barTint) return barTint << " as bar tint";
  NSDictionary* attributes = bar->titleTextAttributes();
  if (!attributes || attributes->count() != 1 ||
      attributes->objectForKey(NSForegroundColorAttributeName) != UIColor::whiteColor())
    return testing::AssertionFailure() << "title attributes " << foundation::describe(attributes);
  return testing::AssertionSuccess();
}

testing::AssertionResult isPlain(UINavigationBar* bar) {
  if (bar->tintColor() || bar->barTintColor() || bar->titleTextAttributes())
    return testing::AssertionFailure() << "styled: " << foundation::describe(bar->barTintColor());
  return testing::AssertionSuccess();
}

UIStatusBarStyle statusBar() { return UIApplication::sharedApplication()->statusBarStyle(); }

class PageTheme : public ::testing::Test {
 protected:
  void SetUp() override {
    // The status bar and the version are the process's own: as each test found them alone.
    UIApplication::sharedApplication()->setStatusBarStyle(UIStatusBarStyleDefault);
    bundle = installBuilt(device);
    auto start = UIViewController::controller(UIViewController::class_());
    settingsApp = UINavigationController::controllerWithRootViewController(start.get());
    settingsApp->beginAppearanceTransition(true, false);
    settingsApp->endAppearanceTransition(false);
  }

  Retained<PSListController> show(const char* className) {
    auto shown = page(className, bundle);
    settingsApp->pushViewController_animated(shown.get(), true);
    return shown;
  }

  void TearDown() override { CFRefreshCoreFoundationVersionNumber(); }

  void appear(UIViewController* controller) { objc::send(controller, "viewWillAppear:", false); }
  void disappear(UIViewController* controller) { objc::send(controller, "viewWillDisappear:", false); }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  NSBundle* bundle = nullptr;
  Retained<UINavigationController> settingsApp;
};

struct Version {
  double coreFoundation;
  bool enclosingBar;
};

void PrintTo(const Version& version, std::ostream* out) { *out << version.coreFoundation; }

class PageThemeAtVersion : public PageTheme, public ::testing::WithParamInterface<Version> {};

}  // namespace

TEST_P(PageThemeAtVersion, StylesTheBarOfTheNavigationTheVersionShowsAndRestoresIt) {
  kCFCoreFoundationVersionNumber = GetParam().coreFoundation;
  auto shown = page("QMOrvaneListController", bundle);
  // The page inside a navigation controller of its own, inside the app's.
  auto own = UINavigationController::controllerWithRootViewController(shown.get());
  settingsApp->pushViewController_animated(own.get(), true);
  UINavigationBar* themed = GetParam().enclosingBar ? settingsApp->navigationBar() : own->navigationBar();
  UINavigationBar* other = GetParam().enclosingBar ? own->navigationBar() : settingsApp->navigationBar();
  EXPECT_TRUE(isThemed(themed));
  EXPECT_TRUE(isPlain(other));
  EXPECT_EQ(statusBar(), UIStatusBarStyleLightContent);

  settingsApp->popViewControllerAnimated(true);
  EXPECT_TRUE(isPlain(themed));
  EXPECT_TRUE(isPlain(other));
  EXPECT_EQ(statusBar(), UIStatusBarStyleDefault);
}

INSTANTIATE_TEST_SUITE_P(Versions, PageThemeAtVersion,
                         testing::Values(Version{1140.1, true}, Version{1141.18, true}, Version{1140.09, false},
                                         Version{1141.19, false}),
                         [](const auto& info) {
                           return "CF" + std::to_string(static_cast<long>(info.param.coreFoundation * 100 + 0.5));
                         });

TEST_F(PageTheme, ABrokenWayToTheBarStylesNothingButTheStatusBar) {
  kCFCoreFoundationVersionNumber = 1141.14;
  auto alone = page("QMOrvaneListController", bundle);
  appear(alone.get());
  EXPECT_EQ(statusBar(), UIStatusBarStyleLightContent);
  disappear(alone.get());
  EXPECT_EQ(statusBar(), UIStatusBarStyleDefault);

  // Nested versions look for a second navigation controller around the page's.
  show("QMOrvaneListController");
  EXPECT_TRUE(isPlain(settingsApp->navigationBar()));
  EXPECT_EQ(statusBar(), UIStatusBarStyleLightContent);
  settingsApp->popViewControllerAnimated(true);
  EXPECT_EQ(statusBar(), UIStatusBarStyleDefault);

  kCFCoreFoundationVersionNumber = 1145.15;
  appear(alone.get());
  EXPECT_EQ(statusBar(), UIStatusBarStyleLightContent);
}

TEST_F(PageTheme, TheStatusBarGoesBackToWhatItWasWhenThePageLastAppeared) {
  auto first = page("QMOrvaneListController", bundle);
  UIApplication::sharedApplication()->setStatusBarStyle(UIStatusBarStyleLightContent);
  disappear(first.get());
  EXPECT_EQ(statusBar(), UIStatusBarStyleDefault) << "a page that never appeared restores the default";

  auto second = page("QMOrvaneListItemsController", bundle);
  appear(second.get());
  appear(second.get());
  disappear(second.get());
  EXPECT_EQ(statusBar(), UIStatusBarStyleLightContent) << "the second appearance saw the light style";
}

TEST_F(PageTheme, PushingAndPoppingPagesKeepsTheShownPageThemed) {
  kCFCoreFoundationVersionNumber = 1145.15;
  show("QMOrvaneListController");
  show("QMOrvaneListItemsController");
  EXPECT_TRUE(isThemed(settingsApp->navigationBar())) << "the page leaving must not undo the one coming";
  EXPECT_EQ(statusBar(), UIStatusBarStyleLightContent);
  settingsApp->popViewControllerAnimated(true);
  EXPECT_TRUE(isThemed(settingsApp->navigationBar()));
  EXPECT_EQ(statusBar(), UIStatusBarStyleLightContent);
  settingsApp->popViewControllerAnimated(true);
  EXPECT_TRUE(isPlain(settingsApp->navigationBar()));
  EXPECT_EQ(statusBar(), UIStatusBarStyleDefault);
}

TEST_F(PageTheme, SwitchesTakeTheThemeOnlyInsidePagesOfTheClassThatAppeared) {
  kCFCoreFoundationVersionNumber = 1145.15;
  auto inside = [&](const char* className) {
    auto control = UISwitch::switchControl();
    Retained<UIViewController> container = className ? UIViewController::controller(classNamed(className)) : nullptr;
    control->setContainer(container.get());
    return foundation::describe(control->onTintColor());
  };
  // Appearances are the process's own: pages shown by earlier tests may have set some.
  std::map<std::string, std::string> before;
  for (const char* other : {"QMOrvaneConfigurationListController", "QMOrvaneListController", "PSListController"})
    before[other] = inside(other);

  auto root = show("OrvaneListController");
  auto* shown = objc_cast<UISwitch>(root->table()->cellForRowAtIndexPath(0, 0)->accessoryView());
  ASSERT_TRUE(shown);
  EXPECT_TRUE(hasColour(shown->onTintColor(), theme));
  EXPECT_EQ(inside("OrvaneListController"), shown->onTintColor()->description());
  EXPECT_EQ(inside("QMOrvaneConfigurationListController"), before["QMOrvaneConfigurationListController"])
      << "a sibling class";
  EXPECT_EQ(inside("QMOrvaneListController"), before["QMOrvaneListController"]) << "the base class";
  EXPECT_EQ(inside("PSListController"), before["PSListController"]);
  EXPECT_EQ(inside(nullptr), "(null)");
}

TEST_F(PageTheme, EveryCellTitleTakesTheRowColourReusedCellsToo) {
  std::filesystem::create_directories(device.host(orvane::contract::soundFolder.c_str()));
  for (const char* theme : {"Chime", "Click", "Mac Volume Change"})
    testsupport::writeFile(device.host(orvane::contract::soundDirectory.c_str()) + theme + ".wav", "RIFF");
  auto configuration = show("QMOrvaneConfigurationListController");
  auto* choice = objc_cast<PSSpecifier>(objc::send<NSArray*>(configuration.get(), "specifiers")->objectAtIndex(1));
  ASSERT_TRUE(choice);
  auto* choices = objc_cast<PSListController>(configuration->selectRow(choice));
  ASSERT_TRUE(choices);
  ASSERT_STREQ(object_getClassName(choices), "QMOrvaneListItemsController");

  for (PSListController* shown : {static_cast<PSListController*>(configuration.get()), choices}) {
    UITableView* table = shown->table();
    auto cells = [&] {
      std::set<UITableViewCell*> all;
      for (auto& section : table->sections())
        for (auto& cell : section.cells) all.insert(cell.get());
      return all;
    };
    auto before = cells();
    ASSERT_FALSE(before.empty()) << object_getClassName(shown);
    for (UITableViewCell* cell : before) {
      EXPECT_TRUE(hasColour(cell->textLabel()->textColor(), rowTitle)) << foundation::describe(cell->textLabel()->text());
      cell->textLabel()->setTextColor(UIColor::blackColor());
    }
    table->reloadData();
    EXPECT_EQ(cells(), before) << "the cells are reused";
    for (UITableViewCell* cell : cells())
      EXPECT_TRUE(hasColour(cell->textLabel()->textColor(), rowTitle)) << foundation::describe(cell->textLabel()->text());
  }
  // The platform's own work on the cell survives: the stored choice keeps its check.
  UITableViewCell* standard = choices->table()->cellForRowAtIndexPath(0, 2);
  ASSERT_TRUE(standard);
  EXPECT_EQ(foundation::describe(standard->textLabel()->text()), "Mac Volume Change");
  EXPECT_EQ(standard->accessoryType(), UITableViewCellAccessoryCheckmark);
}
