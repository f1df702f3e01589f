#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/device/Device.h"
#include "platform/uikit/UIKit.h"
#include "tests/prefs/SettingsBundle.h"

namespace {

class HeaderView : public ::testing::Test {
 protected:
  void SetUp() override { bundle = settingsbundle::installBuilt(device); }

  Retained<UIView> makeHeader() {
    return objc::make<UIView>(settingsbundle::classNamed("QMOrvaneCustomHeaderView"), "init");
  }
  static UILabel* label(UIView* header, const char* getter) { return objc::send<UILabel*>(header, getter); }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  NSBundle* bundle = nullptr;
};

}  // namespace

TEST_F(HeaderView, TitleSizesFollowTheIdiomAndADeviceThatCannotSayIsAPhone) {
  struct Case {
    const char* idiom;
    bool answers;
    double title, subtitle;
  };
  for (auto [idiom, answers, title, subtitle] : {Case{"pad", true, 44, 22}, Case{"phone", true, 36, 17}, Case{"pad", false, 36, 17}}) {
    ASSERT_TRUE(device::setSetting("Idiom", idiom));
    Retained<NSObject> mute;
    if (!answers) {
      Class plain = objc_getClass("MuteDevice");
      if (!plain) {
        plain = objc_allocateClassPair(NSObject::class_(), "MuteDevice", 0);
        objc_registerClassPair(plain);
      }
      mute = objc_createObject(plain);
    }
    UIDevice::setCurrentDevice(mute.get());
    auto header = makeHeader();
    EXPECT_EQ(label(header.get(), "headerLabel")->font()->pointSize(), title) << idiom << answers;
    EXPECT_EQ(label(header.get(), "subHeaderLabel")->font()->pointSize(), subtitle) << idiom << answers;
    EXPECT_EQ(label(header.get(), "randomLabel")->font()->pointSize(), 15) << idiom << answers;
    EXPECT_EQ(label(header.get(), "headerLabel")->font()->fontName(), "HelveticaNeue-Light");
  }
  UIDevice::setCurrentDevice(nullptr);
}

TEST_F(HeaderView, LinesStackFromAFifthDownWithFivePointGapsCentredAtEveryWidth) {
  for (double width : {320.0, 414.0, 768.0}) {
    auto header = makeHeader();
    header->setFrame(CGRectMake(0, 0, width, 140));
    testing::internal::CaptureStderr();
    header->layoutIfNeeded();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    CGRect title = label(header.get(), "headerLabel")->frame();
    CGRect subtitle = label(header.get(), "subHeaderLabel")->frame();
    CGRect line = label(header.get(), "randomLabel")->frame();
    EXPECT_EQ(title.origin.y, 28);
    EXPECT_EQ(subtitle.origin.y, title.origin.y + title.size.height + 5);
    EXPECT_EQ(line.origin.y, subtitle.origin.y + subtitle.size.height + 5);
    for (CGRect frame : {title, subtitle, line}) {
      EXPECT_GT(frame.size.width, 0) << "a natural size from real text layout";
      EXPECT_DOUBLE_EQ(frame.origin.x + frame.size.width / 2, width / 2);
    }
  }
}

TEST_F(HeaderView, EveryOneOfTheNineLinesShowsAndNoOther) {
  auto first = makeHeader();
  NSArray* texts = objc::send<NSArray*>(first.get(), "randomTexts");
  ASSERT_EQ(texts->count(), 9u);
  EXPECT_EQ(texts->description(), objc::send<NSArray*>(first.get(), "randomTexts")->description());
  std::set<std::string> allowed, seen;
  for (auto& text : *texts) allowed.insert(text->description());
  for (int i = 0; i < 400; ++i) {
    auto header = makeHeader();
    std::string line = label(header.get(), "randomLabel")->text()->utf8();
    EXPECT_TRUE(allowed.count(line)) << line;
    seen.insert(line);
  }
  EXPECT_EQ(seen, allowed);
  EXPECT_TRUE(seen.count("Hey") && seen.count("Merrow Lanz!"));
}

TEST_F(HeaderView, TheRootPageGivesTheFirstGroupAFreshHeaderEachTime) {
  auto root = settingsbundle::page("OrvaneListController", bundle);
  auto* first = objc::send<UIView*>(root.get(), "tableView:viewForHeaderInSection:", static_cast<UITableView*>(nullptr), 0L);
  Retained<UIView> keep = objc::retain(first);
  auto* second = objc::send<UIView*>(root.get(), "tableView:viewForHeaderInSection:", static_cast<UITableView*>(nullptr), 0L);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);
  EXPECT_STREQ(object_getClassName(first), "QMOrvaneCustomHeaderView");
  auto height = [&](long section) {
    return objc::send<CGFloat>(root.get(), "tableView:heightForHeaderInSection:", static_cast<UITableView*>(nullptr), section);
  };
  auto* logo = objc::send<UIView*>(root.get(), "tableView:viewForHeaderInSection:", static_cast<UITableView*>(nullptr), 4L);
  Retained<UIView> keepLogo = objc::retain(logo);
  auto* otherLogo = objc::send<UIView*>(root.get(), "tableView:viewForHeaderInSection:", static_cast<UITableView*>(nullptr), 4L);
  ASSERT_TRUE(logo && otherLogo);
  EXPECT_STREQ(object_getClassName(logo), "QMOrvaneLogoTableCell");
  EXPECT_NE(logo, otherLogo);
  EXPECT_NE(objc::send<UIView*>(logo, "logoImageView"), objc::send<UIView*>(otherLogo, "logoImageView"));
  EXPECT_EQ(height(0), 140.0);
  EXPECT_EQ(height(4), 30.0);
  for (long section : {1L, 2L, 3L, 5L, 6L}) {
    EXPECT_EQ(height(section), -1.0);
    EXPECT_EQ(objc::send<UIView*>(root.get(), "tableView:viewForHeaderInSection:", static_cast<UITableView*>(nullptr), section),
              nullptr);
  }
}

TEST_F(HeaderView, TheLogoIsCentredAtEveryWidthWithItsShadowAndWithoutItsFile) {
  for (bool withFile : {true, false}) {
    if (!withFile) std::filesystem::remove(device.host(settingsbundle::bundlePath) + "/footerLogo@2x.png");
    if (!withFile) std::filesystem::remove(device.host(settingsbundle::bundlePath) + "/footerLogo.png");
    for (double width : {320.0, 768.0}) {
      auto cell = objc::make<UIView>(settingsbundle::classNamed("QMOrvaneLogoTableCell"), "init");
      auto* logo = objc::send<UIImageView*>(cell.get(), "logoImageView");
      ASSERT_TRUE(logo);
      EXPECT_EQ(logo->superview(), cell.get());
      EXPECT_EQ(static_cast<bool>(logo->image()), withFile);
      cell->setFrame(CGRectMake(0, 0, width, 30));
      cell->layoutIfNeeded();
      EXPECT_DOUBLE_EQ(logo->frame().origin.x + logo->frame().size.width / 2, width / 2);
      EXPECT_EQ(logo->frame().size.width, 80);
      CALayer* layer = logo->layer();
      EXPECT_EQ(layer->shadowOpacity(), 0.2f);
      EXPECT_EQ(layer->shadowOffset(), (CGSize{0, 1}));
      EXPECT_EQ(layer->shadowRadius(), 1);
      EXPECT_EQ(layer->shadowColor()->alpha, 1);
      EXPECT_EQ(layer->shadowColor()->red + layer->shadowColor()->green + layer->shadowColor()->blue, 0) << "black";
      EXPECT_FALSE(logo->clipsToBounds());
    }
  }
}
