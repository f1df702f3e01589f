#include <gtest/gtest.h>

#include <filesystem>

#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UIKit.h"
#include "tests/prefs/SettingsBundle.h"

namespace {

class TitleLogo : public ::testing::Test {
 protected:
  void SetUp() override {
    foundation::clock::useTestClock();
    bundle = settingsbundle::installBuilt(device);
  }
  Retained<PSListController> openRoot() {
    auto page = settingsbundle::page("OrvaneListController", bundle);
    page->view();
    return page;
  }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  NSBundle* bundle = nullptr;
};

}  // namespace

TEST_F(TitleLogo, InvisibleAtFirstFadingFromHalfASecondVisibleAfterOne) {
  auto page = openRoot();
  auto* logo = objc_cast<UIImageView>(page->navigationItem()->titleView());
  ASSERT_TRUE(logo);
  ASSERT_TRUE(logo->image());
  EXPECT_EQ(logo->image()->renderingMode(), UIImageRenderingModeAlwaysTemplate);
  EXPECT_EQ(logo->frame().size.width, logo->image()->size().width);
  EXPECT_EQ(logo->presentationAlpha(), 0.0);
  foundation::clock::advance(0.49);
  EXPECT_EQ(logo->presentationAlpha(), 0.0);
  foundation::clock::advance(0.01);
  EXPECT_EQ(logo->presentationAlpha(), 0.0) << "the fade starts at 0.5 s";
  foundation::clock::advance(0.25);
  EXPECT_NEAR(logo->presentationAlpha(), 0.5, 1e-9);
  foundation::clock::advance(0.25);
  EXPECT_EQ(logo->presentationAlpha(), 1.0);
  foundation::clock::advance(5);
  EXPECT_EQ(logo->presentationAlpha(), 1.0);
  EXPECT_FALSE(NSRunLoop::currentRunLoop()->hasTimers()) << "the timer fires once";
}

TEST_F(TitleLogo, WithoutTheLogoFileThePageStillOpensWithAnEmptyTitleView) {
  for (const char* file : {"/headerLogo.png", "/headerLogo@2x.png"})
    std::filesystem::remove(device.host(settingsbundle::bundlePath) + file);
  auto page = openRoot();
  auto* logo = objc_cast<UIImageView>(page->navigationItem()->titleView());
  ASSERT_TRUE(logo);
  EXPECT_FALSE(logo->image());
  foundation::clock::advance(1.0);
  EXPECT_EQ(logo->presentationAlpha(), 1.0);
}
