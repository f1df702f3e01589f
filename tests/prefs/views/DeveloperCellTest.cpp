#include <gtest/gtest.h>

#include <filesystem>

#include "platform/device/Device.h"
#include "platform/uikit/UIKit.h"
#include "tests/prefs/SettingsBundle.h"

namespace {

class DeveloperCell : public ::testing::Test {
 protected:
  void SetUp() override { bundle = settingsbundle::installBuilt(device); }

  Retained<UITableViewCell> makeCell(const char* image) {
    auto specifier = PSSpecifier::specifier();
    specifier->setProperty_forKey(NSSTR("@MerrowLanz"), "devName");
    specifier->setProperty_forKey(NSSTR("Merrow Lanz"), "realName");
    specifier->setProperty_forKey(NSSTR("Developer"), "job");
    if (image) specifier->setProperty_forKey(NSString::stringWithUTF8String(image).get(), "devImage");
    auto cell = objc::make<UITableViewCell>(settingsbundle::classNamed("QMOrvaneDeveloperTableCell"),
                                            "initWithStyle:reuseIdentifier:specifier:", UITableViewCellStyleValue1,
                                            NSSTR("other"), specifier.get());
    cell->setFrame(CGRectMake(0, 0, 320, 110));
    cell->layoutIfNeeded();
    return cell;
  }
  static UILabel* label(UIView* cell, const char* getter) { return objc::send<UILabel*>(cell, getter); }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  NSBundle* bundle = nullptr;
};

}  // namespace

TEST_F(DeveloperCell, ThreeLinesRightOfThePortraitWithOrWithoutIt) {
  for (const char* image : {"merrow", "no-such-portrait"}) {
    auto cell = makeCell(image);
    EXPECT_EQ(cell->reuseIdentifier()->utf8(), "QMOrvaneDeveloperTableCell");
    auto* portrait = objc::send<UIImageView*>(cell.get(), "devImageView");
    EXPECT_EQ(portrait->frame(), CGRectMake(10, 15, 70, 70));
    EXPECT_EQ(static_cast<bool>(portrait->image()), image == std::string("merrow"));
    EXPECT_EQ(portrait->layer()->shadowOpacity(), 0.2f);
    CGRect name = label(cell.get(), "devNameLabel")->frame();
    CGRect realName = label(cell.get(), "realNameLabel")->frame();
    CGRect job = label(cell.get(), "jobLabel")->frame();
    for (CGRect line : {name, realName, job}) EXPECT_EQ(line.origin.x, 110) << image;
    EXPECT_DOUBLE_EQ(name.origin.y + name.size.height / 2, 55 - 20);
    EXPECT_DOUBLE_EQ(realName.origin.y, name.origin.y + name.size.height);
    EXPECT_DOUBLE_EQ(job.origin.y, realName.origin.y + realName.size.height + 5);
    EXPECT_EQ(label(cell.get(), "jobLabel")->text()->utf8(), "Developer");
  }
}

TEST_F(DeveloperCell, TheNameIsLargerOnAPadOnly) {
  for (auto [idiom, size] : {std::pair{"phone", 20.0}, std::pair{"pad", 30.0}}) {
    ASSERT_TRUE(device::setSetting("Idiom", idiom));
    auto cell = makeCell("merrow");
    EXPECT_EQ(label(cell.get(), "devNameLabel")->font()->pointSize(), size);
    EXPECT_EQ(label(cell.get(), "devNameLabel")->font()->fontName(), "Helvetica Light");
    EXPECT_EQ(label(cell.get(), "realNameLabel")->font()->pointSize(), 15);
    EXPECT_EQ(label(cell.get(), "jobLabel")->font()->pointSize(), 12);
  }
}

TEST_F(DeveloperCell, TheMakersPageLoadsOnceAndTitlesItselfEveryTime) {
  auto page = settingsbundle::page("QMOrvaneMakersListController", bundle);
  NSArray* first = objc::send<NSArray*>(page.get(), "specifiers");
  page->setTitle(nullptr);
  NSArray* second = objc::send<NSArray*>(page.get(), "specifiers");
  ASSERT_TRUE(first);
  EXPECT_EQ(first, second);
  ASSERT_TRUE(page->title());
  EXPECT_EQ(page->title()->utf8(), "Makers");
}
