#include <gtest/gtest.h>

#include "platform/device/Device.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "tests/prefs/SettingsBundle.h"

namespace {

class ShareAction : public ::testing::Test {
 protected:
  void SetUp() override { bundle = settingsbundle::installBuilt(device); }

  /// A page of the class on screen in a navigation controller, its view loaded.
  Retained<PSListController> show(const char* className) {
    auto page = settingsbundle::page(className, bundle);
    navigation = UINavigationController::controllerWithRootViewController(page.get());
    navigation->beginAppearanceTransition(true, false);
    navigation->endAppearanceTransition(false);
    return page;
  }

  static UIBarButtonItem* shareButton(UIViewController* page) {
    return objc_cast<UIBarButtonItem>(page->navigationItem()->rightBarButtonItem());
  }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  NSBundle* bundle = nullptr;
  Retained<UINavigationController> navigation;
};

}  // namespace

TEST_F(ShareAction, EachSharingPageShowsTheComposeButtonOnceItsViewIsLoaded) {
  for (const char* className : {"OrvaneListController", "QMOrvaneConfigurationListController"}) {
    auto page = show(className);
    UIBarButtonItem* button = shareButton(page.get());
    ASSERT_TRUE(button) << className;
    EXPECT_EQ(button->systemItem(), UIBarButtonSystemItemCompose);
    EXPECT_EQ(button->target(), page.get());
    EXPECT_STREQ(sel_getName(button->action()), "tweetSupport:");
    EXPECT_TRUE(page->table()) << "the base class's view was made first";
  }
  auto choices = show("QMOrvaneListItemsController");
  EXPECT_FALSE(shareButton(choices.get()));
}

TEST_F(ShareAction, WithoutTwitterATapChangesNothing) {
  ASSERT_TRUE(device::setSetting("TwitterAccount", ""));
  auto page = show("OrvaneListController");
  shareButton(page.get())->tap();
  EXPECT_EQ(page->presentedViewController(), nullptr);
  EXPECT_EQ(navigation->presentedViewController(), nullptr);
}

TEST_F(ShareAction, TheSheetOpensFromThePageWithThePostAndClosesForEveryResult) {
  auto page = show("QMOrvaneConfigurationListController");
  Retained<SLComposeViewController> first;
  for (const char* outcome : {"post", "cancel"}) {
    shareButton(page.get())->tap();
    auto* sheet = objc_cast<SLComposeViewController>(page->presentedViewController());
    ASSERT_TRUE(sheet) << outcome;
    EXPECT_NE(sheet, first.get()) << "each tap makes a new sheet";
    EXPECT_TRUE(sheet->lastTransitionAnimated());
    EXPECT_TRUE(sheet->serviceType()->isEqualToString(SLServiceTypeTwitter));
    EXPECT_EQ(sheet->text()->utf8(), "#Orvane is awesome! Thanks @QuillmarkHQ");
    first = objc::retain(sheet);
    if (outcome == std::string("post")) {
      EXPECT_FALSE(sheet->post().empty());
    } else {
      sheet->cancel();
    }
    EXPECT_EQ(page->presentedViewController(), nullptr) << outcome;
    EXPECT_TRUE(page->lastTransitionAnimated());
  }
}
