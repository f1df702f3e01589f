// Every object the pages make while shown and dismissed is freed again: the
// product's retains and releases, sent through the device face, balance
// against the platform's counts.

#include <gtest/gtest.h>

#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UITableView.h"
#include "tests/prefs/SettingsBundle.h"

namespace {

class PageLifetime : public ::testing::TestWithParam<const char*> {
 protected:
  /// Shows the page in a navigation controller, makes the cell of every row,
  /// picks nothing, and takes it off again, all inside one pool.
  void showAndDismiss() {
    AutoreleasePool pool;
    auto start = UIViewController::controller(UIViewController::class_());
    auto settingsApp = UINavigationController::controllerWithRootViewController(start.get());
    settingsApp->beginAppearanceTransition(true, false);
    settingsApp->endAppearanceTransition(false);
    {
      auto shown = settingsbundle::page(GetParam(), bundle);
      ASSERT_TRUE(shown);
      settingsApp->pushViewController_animated(shown.get(), false);
      UITableView* table = shown->table();
      ASSERT_TRUE(table);
      long sections = objc::send<long>(shown.get(), "numberOfSectionsInTableView:", table);
      for (long section = 0; section < sections; ++section) {
        long rows = objc::send<long>(shown.get(), "tableView:numberOfRowsInSection:", table, section);
        for (long row = 0; row < rows; ++row) {
          auto path = NSIndexPath::indexPathForRow_inSection(row, section);
          EXPECT_TRUE(objc::send<UITableViewCell*>(shown.get(), "tableView:cellForRowAtIndexPath:", table, path.get()));
        }
      }
    }
    settingsApp->popViewControllerAnimated(false);
    // The root page's logo timer holds the page until it has fired and faded the logo in.
    foundation::clock::advance(2.0);
  }

  void SetUp() override { foundation::clock::useTestClock(); }

  testsupport::TemporaryDevice device;
  NSBundle* bundle = settingsbundle::installBuilt(device);
};

TEST_P(PageLifetime, ShowingAndDismissingAPageLeavesNoObjectBehind) {
  // The first showing fills what lives as long as the process: constant
  // strings, the shared localiser, the bundle and its tables.
  showAndDismiss();
  std::size_t before = objc_liveObjectCount();
  for (int round = 0; round < 3; ++round) showAndDismiss();
  EXPECT_EQ(objc_liveObjectCount(), before) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Pages, PageLifetime,
                         testing::Values("OrvaneListController", "QMOrvaneConfigurationListController",
                                         "QMOrvaneMakersListController"));

}  // namespace
