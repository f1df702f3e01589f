#include "sim/render/Screenshot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <map>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UIGeometry.h"
#include "platform/uikit/UIKit.h"
#include "sim/settings/Navigation.h"
#include "sim/settings/SettingsEntry.h"
#include "tests/support/TemporaryDevice.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* bundlePath = "/Library/PreferenceBundles/Orvane.bundle";
constexpr render::Picture::Pixel theme{65, 169, 214, 255};
constexpr render::Picture::Pixel defaultBar{247, 247, 247, 255};

bool near(const render::Picture::Pixel& a, const render::Picture::Pixel& b, int tolerance = 3) {
  return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
         std::abs(a.blue - b.blue) <= tolerance;
}

std::string describe(const render::Picture::Pixel& p) {
  return "(" + std::to_string(p.red) + ", " + std::to_string(p.green) + ", " + std::to_string(p.blue) + ")";
}

/// A view's frame on the screen, its superviews' origins added.
CGRect onScreen(UIView* view) {
  CGRect frame = view->frame();
  for (UIView* parent = view->superview(); parent; parent = parent->superview()) {
    frame.origin.x += parent->frame().origin.x;
    frame.origin.y += parent->frame().origin.y;
  }
  return frame;
}

void eachView(UIView* view, const std::function<void(UIView*)>& visit) {
  visit(view);
  for (auto& subview : view->subviews()) eachView(subview.get(), visit);
}

class Screenshot : public ::testing::Test {
 protected:
  void SetUp() override { foundation::clock::useTestClock(); }

  settings::Navigation open(const std::vector<std::string>& path = {}) {
    fs::create_directories(device.host("/Library/PreferenceLoader/Preferences"));
    fs::copy_file(ORVANE_SETTINGS_ENTRY, device.host("/Library/PreferenceLoader/Preferences/Orvane.plist"),
                  fs::copy_options::overwrite_existing);
    if (!fs::exists(device.host(bundlePath)))
      fs::copy(ORVANE_BUNDLE_DIR, device.host(bundlePath), fs::copy_options::recursive);
    auto loaded = settings::loadEntry("Orvane");
    if (!loaded) ADD_FAILURE() << loaded.error().message();
    settings::Navigation navigation(loaded.value());
    if (auto followed = navigation.follow(path); !followed) ADD_FAILURE() << followed.error().message();
    return navigation;
  }

  /// Pixels of `rect` (points) that stand out from the rect's most common colour.
  static int inkIn(const render::Picture& picture, CGRect rect, int scale) {
    std::map<std::tuple<int, int, int>, int> counts;
    std::vector<render::Picture::Pixel> pixels;
    for (int y = static_cast<int>(rect.origin.y * scale); y < static_cast<int>((rect.origin.y + rect.size.height) * scale); ++y)
      for (int x = static_cast<int>(rect.origin.x * scale); x < static_cast<int>((rect.origin.x + rect.size.width) * scale); ++x) {
        pixels.push_back(picture.pixel(x, y));
        ++counts[{pixels.back().red, pixels.back().green, pixels.back().blue}];
      }
    if (pixels.empty()) return 0;
    auto common = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    render::Picture::Pixel background{std::get<0>(common), std::get<1>(common), std::get<2>(common), 255};
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), [&](auto& p) { return !near(p, background, 40); }));
  }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
};

TEST_F(Screenshot, ThePictureIsTheScreenInPointsTimesTheScale) {
  auto navigation = open();
  for (int scale : {1, 2, 3}) {
    auto picture = render::screenshot(navigation, {scale});
    EXPECT_EQ(picture.width(), 320 * scale);
    EXPECT_EQ(picture.height(), 568 * scale);
  }
  std::string png = render::screenshotPng(navigation, {2}).value_or("");
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  auto size = uikit::pngPixelSize(png);
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 640u);
  EXPECT_EQ(size->height, 1136u);
}

TEST_F(Screenshot, APadIsDrawnAtItsOwnSizeWithTheTableAcrossIt) {
  ASSERT_TRUE(device::setSetting("Idiom", "pad"));
  auto navigation = open();
  auto picture = render::screenshot(navigation, {1});
  EXPECT_EQ(picture.width(), 768);
  EXPECT_EQ(picture.height(), 1024);
  // The switch sits at the right edge of the pad's table, not of a phone's.
  UIView* control = navigation.page()->table()->cellForRowAtIndexPath(0, 0)->accessoryView();
  ASSERT_TRUE(control);
  EXPECT_GT(onScreen(control).origin.x, 700);
}

TEST_F(Screenshot, ThemedPagesShowTheThemeColourInTheBarAndTheDefaultOnceTheThemeIsCleared) {
  for (std::vector<std::string> path : {std::vector<std::string>{}, {"Sound Themes"}, {"Makers"}, {"Sound Themes", "Volume Up Sound"}}) {
    auto navigation = open(path);
    foundation::clock::advance(2);
    auto picture = render::screenshot(navigation, {2});
    // Points of the bar and of the status bar beneath which nothing is written.
    for (auto [x, y] : {std::pair{250, 61}, {60, 62}, {200, 3}}) {
      EXPECT_TRUE(near(picture.pixel(x * 2, y * 2), theme)) << "at " << x << "," << y << ": "
                                                            << describe(picture.pixel(x * 2, y * 2));
    }
    // The page leaving the screen clears the bar: the default look comes back.
    navigation.page()->beginAppearanceTransition(false, false);
    auto cleared = render::screenshot(navigation, {2});
    EXPECT_TRUE(near(cleared.pixel(500, 122), defaultBar)) << describe(cleared.pixel(500, 122));
    navigation.page()->beginAppearanceTransition(true, false);
  }
}

TEST_F(Screenshot, TheStatusBarIsLightOnThemedPages) {
  auto navigation = open();
  auto picture = render::screenshot(navigation, {2});
  // The time in the middle of the status bar is written in white.
  int white = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 260; x < 380; ++x) white += near(picture.pixel(x, y), {255, 255, 255, 255}, 10);
  EXPECT_GT(white, 50);
  navigation.page()->beginAppearanceTransition(false, false);
  auto restored = render::screenshot(navigation, {2});
  int dark = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 260; x < 380; ++x) dark += near(restored.pixel(x, y), {0, 0, 0, 255}, 40);
  EXPECT_GT(dark, 50);
}

TEST_F(Screenshot, ASwitchShowsItsOnTintWhenOnAndNotWhenOff) {
  auto navigation = open();
  for (bool on : {true, false, true}) {
    ASSERT_TRUE(navigation.set({"Volume Sounds"}, on ? "on" : "off"));
    auto* control = objc_cast<UISwitch>(navigation.page()->table()->cellForRowAtIndexPath(0, 0)->accessoryView());
    ASSERT_TRUE(control);
    ASSERT_EQ(control->isOn(), on);
    CGRect frame = onScreen(control);
    auto picture = render::screenshot(navigation, {2});
    // The track's left end: the on-tint when on (the knob is at the right), white when off.
    auto pixel = picture.pixel(static_cast<int>((frame.origin.x + 6) * 2), static_cast<int>((frame.origin.y + frame.size.height / 2) * 2));
    EXPECT_EQ(near(pixel, theme), on) << describe(pixel);
    EXPECT_EQ(near(pixel, {255, 255, 255, 255}), !on) << describe(pixel);
  }
}

TEST_F(Screenshot, EveryLabelOnScreenHoldsInk) {
  for (std::vector<std::string> path : {std::vector<std::string>{}, {"Makers"}, {"Sound Themes"}}) {
    auto navigation = open(path);
    auto picture = render::screenshot(navigation, {2});
    int labels = 0;
    eachView(navigation.page()->view(), [&](UIView* view) {
      auto* label = objc_cast<UILabel>(view);
      if (!label || !label->text() || label->text()->utf8().empty()) return;
      CGRect frame = onScreen(label);
      if (frame.origin.y + frame.size.height > 568 || frame.size.width <= 0) return;
      ++labels;
      EXPECT_GT(inkIn(picture, frame, 2), 20) << "no ink for \"" << label->text()->utf8() << "\" at "
                                              << NSStringFromCGRect(frame);
    });
    EXPECT_GE(labels, 3);
  }
}

TEST_F(Screenshot, PortraitsAndTheLogoShowAndAMissingImageLeavesItsFrameEmpty) {
  auto navigation = open({"Makers"});
  auto portraitFrames = [&] {
    std::vector<CGRect> frames;
    eachView(navigation.page()->view(), [&](UIView* view) {
      if (objc_cast<UIImageView>(view)) frames.push_back(onScreen(view));
    });
    return frames;
  };
  auto frames = portraitFrames();
  ASSERT_EQ(frames.size(), 2u);
  auto picture = render::screenshot(navigation, {2});
  for (CGRect frame : frames) EXPECT_GT(inkIn(picture, frame, 2), 1000);
  // The portrait's shadow falls just under its frame, on the white cell.
  auto under = picture.pixel(static_cast<int>((frames[0].origin.x + frames[0].size.width / 2) * 2),
                             static_cast<int>((frames[0].origin.y + frames[0].size.height) * 2 + 1));
  EXPECT_LT(under.red, 250) << describe(under);

  for (const char* file : {"merrow.png", "merrow@2x.png", "quillmark.png", "quillmark@2x.png"})
    fs::remove(device.host(std::string(bundlePath) + "/" + file));
  auto without = open({"Makers"});
  navigation = std::move(without);
  frames = portraitFrames();
  ASSERT_EQ(frames.size(), 2u);
  auto empty = render::screenshot(navigation, {2});
  for (CGRect frame : frames) {
    CGRect wider = CGRectMake(frame.origin.x - 2, frame.origin.y - 2, frame.size.width + 4, frame.size.height + 4);
    EXPECT_EQ(inkIn(empty, wider, 2), 0) << NSStringFromCGRect(frame);
    EXPECT_TRUE(near(empty.pixel(static_cast<int>((frame.origin.x + 35) * 2), static_cast<int>((frame.origin.y + 35) * 2)),
                     {255, 255, 255, 255}, 0));
  }
}

TEST_F(Screenshot, TheTitleLogoIsDrawnInTheTintAndFadesIn) {
  auto navigation = open();
  UIView* logo = navigation.page()->navigationItem()->titleView();
  ASSERT_TRUE(logo);
  CGSize size = logo->frame().size;
  CGRect area = CGRectMake((320 - size.width) / 2, 42 - size.height / 2, size.width, size.height);
  auto whiteIn = [&](const render::Picture& picture) {
    int count = 0;
    for (int y = static_cast<int>(area.origin.y * 2); y < static_cast<int>((area.origin.y + area.size.height) * 2); ++y)
      for (int x = static_cast<int>(area.origin.x * 2); x < static_cast<int>((area.origin.x + area.size.width) * 2); ++x)
        count += near(picture.pixel(x, y), {255, 255, 255, 255}, 8);
    return count;
  };
  auto hidden = render::screenshot(navigation, {2});
  EXPECT_EQ(inkIn(hidden, area, 2), 0);
  foundation::clock::advance(0.75);  // half way through the fade
  auto fading = render::screenshot(navigation, {2});
  EXPECT_GT(inkIn(fading, area, 2), 100);
  EXPECT_EQ(whiteIn(fading), 0);
  foundation::clock::advance(0.5);
  auto shown = render::screenshot(navigation, {2});
  EXPECT_GT(whiteIn(shown), 100);
  // Nothing but the tint and the bar: the logo's own colours are not drawn.
  for (int y = static_cast<int>(area.origin.y * 2); y < static_cast<int>((area.origin.y + area.size.height) * 2); ++y)
    for (int x = static_cast<int>(area.origin.x * 2); x < static_cast<int>((area.origin.x + area.size.width) * 2); ++x) {
      auto p = shown.pixel(x, y);
      ASSERT_TRUE(p.blue >= 210 && p.red >= 60) << describe(p) << " at " << x << "," << y;
    }
}

TEST_F(Screenshot, ChoicesShowACheckOnTheChosenOneAndLinksAChevron) {
  fs::create_directories(device.host("/Library/Application Support/Orvane"));
  for (const char* name : {"Chime", "Mac Volume Change", "Tick"})
    testsupport::writeFile(device.host(std::string("/Library/Application Support/Orvane/") + name + ".wav"), "RIFF");
  auto navigation = open({"Sound Themes", "Volume Up Sound"});
  auto* choices = objc_cast<PSListItemsController>(navigation.page());
  ASSERT_TRUE(choices);
  for (const char* pick : {"Chime", "Tick"}) {
    ASSERT_TRUE(choices->pickTitle(pick));
    UITableView* table = choices->table();
    auto picture = render::screenshot(navigation, {2});
    std::vector<std::string> checked;
    for (std::size_t row = 0; row < table->sections()[0].cells.size(); ++row) {
      UITableViewCell* cell = table->sections()[0].cells[row].get();
      CGRect frame = onScreen(cell);
      CGRect accessory = CGRectMake(frame.origin.x + frame.size.width - 40, frame.origin.y + 4, 36, frame.size.height - 8);
      bool shown = inkIn(picture, accessory, 2) > 10;
      EXPECT_EQ(shown, cell->accessoryType() == UITableViewCellAccessoryCheckmark) << NSStringFromCGRect(frame);
      if (shown) checked.push_back(cell->textLabel()->text()->utf8());
    }
    EXPECT_EQ(checked, std::vector<std::string>{pick});
  }

  auto root = open();
  auto rootPicture = render::screenshot(root, {2});
  for (auto& section : root.page()->table()->sections())
    for (auto& cell : section.cells) {
      CGRect frame = onScreen(cell.get());
      if (frame.origin.y + frame.size.height > 568) continue;
      CGRect accessory = CGRectMake(frame.origin.x + frame.size.width - 30, frame.origin.y + 4, 26, frame.size.height - 8);
      bool link = cell->accessoryType() == UITableViewCellAccessoryDisclosureIndicator;
      if (link || !cell->accessoryView()) {
        EXPECT_EQ(inkIn(rootPicture, accessory, 2) > 10, link) << NSStringFromCGRect(frame);
      }
    }
}

TEST_F(Screenshot, SheetsCoverThePage) {
  auto navigation = open();
  foundation::clock::advance(2);
  auto page = render::screenshot(navigation, {2});
  ASSERT_TRUE(navigation.share());
  ASSERT_TRUE(navigation.presentedSheet());
  auto shared = render::screenshot(navigation, {2});
  // Outside the sheet the page is dimmed; inside it the page is hidden.
  auto bar = shared.pixel(20, 122);
  EXPECT_LT(bar.blue, theme.blue - 40) << describe(bar);
  EXPECT_GT(inkIn(shared, CGRectMake(25, 125, 270, 40), 2), 100);  // the post's text
  EXPECT_EQ(render::targetAt(navigation, 290, 90)->kind, "share-post");
  EXPECT_EQ(render::targetAt(navigation, 30, 90)->kind, "share-cancel");
  navigation.presentedSheet()->cancel();

  ASSERT_TRUE(navigation.tap({"Contact Support"}));
  ASSERT_TRUE(navigation.presentedMail());
  auto mail = render::screenshot(navigation, {2});
  // The header view's title no longer shows: the composer lies over it.
  CGRect title = CGRectMake(90, 92, 140, 42);
  EXPECT_GT(inkIn(page, title, 2), 100);
  int white = 0;
  for (int y = 100 * 2; y < 500 * 2; y += 7)
    for (int x = 0; x < 640; x += 7) white += near(mail.pixel(x, y), {255, 255, 255, 255}, 0) ? 1 : 0;
  EXPECT_GT(white, 0.8 * (800 / 7) * (640 / 7));
  EXPECT_EQ(render::targetAt(navigation, 300, 60)->kind, "mail-send");
  EXPECT_EQ(render::targetAt(navigation, 20, 60)->kind, "mail-cancel");
}

TEST_F(Screenshot, TargetsNameTheRowsAndButtonsWhereTheyAreDrawn) {
  auto navigation = open();
  UITableView* table = navigation.page()->table();
  CGRect themes = onScreen(table->cellForRowAtIndexPath(1, 0));
  auto hit = render::targetAt(navigation, themes.origin.x + 100, themes.origin.y + 10);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->kind, "row");
  EXPECT_EQ(hit->label, "Sound Themes");
  EXPECT_EQ(render::targetAt(navigation, 300, 40)->kind, "share");
  EXPECT_EQ(render::targetAt(navigation, 20, 40)->kind, "back");
  EXPECT_FALSE(render::targetAt(navigation, 160, 100));  // the header view
}

}  // namespace

namespace {

TEST_F(Screenshot, AFullPageReachesTheLogoCellWithItsShadow) {
  auto navigation = open();
  UIView* logo = nullptr;
  eachView(navigation.page()->view(), [&](UIView* view) {
    if (view->superview() && objc_cast<UIImageView>(view) && view->layer()->shadowOpacity() > 0) logo = view;
  });
  ASSERT_TRUE(logo);
  CGRect frame = onScreen(logo);
  ASSERT_GT(frame.origin.y, 568);  // below the phone's screen

  auto screenful = render::screenshot(navigation, {2});
  EXPECT_EQ(screenful.height(), 1136);
  auto full = render::screenshot(navigation, {2, true});
  EXPECT_EQ(full.width(), 640);
  EXPECT_GE(full.height(), static_cast<int>((frame.origin.y + frame.size.height) * 2));
  EXPECT_GT(inkIn(full, frame, 2), 1000);
  // The shadow: without it, pixels around the logo come out lighter, none darker.
  logo->layer()->setShadowOpacity(0);
  auto unshadowed = render::screenshot(navigation, {2, true});
  int darker = 0, lighter = 0;
  for (int y = static_cast<int>(frame.origin.y * 2) - 10; y < static_cast<int>((frame.origin.y + frame.size.height) * 2) + 10; ++y)
    for (int x = static_cast<int>(frame.origin.x * 2) - 10; x < static_cast<int>((frame.origin.x + frame.size.width) * 2) + 10; ++x) {
      auto with = full.pixel(x, y), without = unshadowed.pixel(x, y);
      int difference = (with.red + with.green + with.blue) - (without.red + without.green + without.blue);
      darker += difference < 0;
      lighter += difference > 0;
    }
  EXPECT_GT(darker, 100);
  EXPECT_EQ(lighter, 0);
}

}  // namespace

namespace {

TEST_F(Screenshot, GroupsStandInWithRoundCornersWhereTheSystemDrawsThemSo) {
  constexpr render::Picture::Pixel background{239, 239, 244, 255}, white{255, 255, 255, 255};
  for (auto [version, inset] : {std::pair{"1141.14", 0.0}, {"793.00", 10.0}}) {
    ASSERT_TRUE(device::setSetting("CoreFoundationVersion", version));
    CFRefreshCoreFoundationVersionNumber();
    auto navigation = open();
    CGRect cell = onScreen(navigation.page()->table()->cellForRowAtIndexPath(1, 0));
    EXPECT_EQ(cell.origin.x, inset) << version;
    EXPECT_EQ(cell.size.width, 320 - 2 * inset) << version;
    auto picture = render::screenshot(navigation, {2});
    auto at = [&](double x, double y) { return picture.pixel(static_cast<int>(x * 2), static_cast<int>(y * 2)); };
    double middle = cell.origin.y + cell.size.height / 2;
    EXPECT_TRUE(near(at(cell.origin.x + 5, middle), white)) << version;
    EXPECT_TRUE(near(at(cell.origin.x + 1, cell.origin.y + 1), inset > 0 ? background : white)) << version;
    EXPECT_EQ(near(at(inset / 2, middle), background), inset > 0) << version;
  }
}

}  // namespace

namespace {

TEST_F(Screenshot, FootersTakeTheLinesTheirTextNeedsAndTheNextGroupStartsBelow) {
  auto navigation = open();
  auto picture = render::screenshot(navigation, {2, true});
  auto& sections = navigation.page()->table()->sections();
  CGFloat top = navigation.page()->table()->frame().origin.y;
  for (std::size_t index = 0; index < sections.size(); ++index) {
    if (!sections[index].footer) continue;
    CGRect footer = sections[index].footerFrame;
    CGFloat text = UIFont::systemFontOfSize(13)->heightOfText(sections[index].footer->utf8(), footer.size.width - 30);
    EXPECT_GE(footer.size.height, text + 7) << sections[index].footer->utf8();
    // Nothing of the footer's text is drawn below its frame, in the strip before the next group.
    CGRect below = CGRectMake(15, top + footer.origin.y + footer.size.height - 3, 100, 3);
    EXPECT_EQ(inkIn(picture, below, 2), 0) << sections[index].footer->utf8();
  }
}

}  // namespace

namespace {

TEST_F(Screenshot, TheMailComposerCoversAPhoneAndIsAFormSheetOnAPad) {
  auto navigation = open();
  ASSERT_TRUE(navigation.tap({"Contact Support"}));
  auto phone = render::screenshot(navigation, {1});
  // Below its fields the whole screen is the message, down to the last line: no bar to save a draft.
  EXPECT_TRUE(near(phone.pixel(10, 560), {255, 255, 255, 255}, 0)) << describe(phone.pixel(10, 560));
  EXPECT_TRUE(near(phone.pixel(300, 540), {255, 255, 255, 255}, 0));
  EXPECT_EQ(render::targets(navigation).size(), 2u);
  EXPECT_FALSE(render::targetAt(navigation, 20, 550));
  // The attachments stand as file icons, outlined, below the body.
  EXPECT_GT(inkIn(phone, CGRectMake(15, 370, 290, 100), 1), 50);

  ASSERT_TRUE(device::setSetting("Idiom", "pad"));
  auto pad = render::screenshot(navigation, {1});
  ASSERT_EQ(pad.width(), 768);
  // Around the sheet the page is dimmed; the sheet is 540 points wide in the middle.
  EXPECT_LT(pad.pixel(40, 900).red, 200) << describe(pad.pixel(40, 900));
  EXPECT_TRUE(near(pad.pixel(384, 700), {255, 255, 255, 255}, 0)) << describe(pad.pixel(384, 700));
  EXPECT_EQ(render::targetAt(navigation, 124, 220)->kind, "mail-cancel");
  EXPECT_EQ(render::targetAt(navigation, 640, 220)->kind, "mail-send");
}

TEST_F(Screenshot, TheSystemsOwnWordsFollowTheDeviceLanguage) {
  ASSERT_TRUE(device::setSetting("Language", "de-AT"));
  auto navigation = open({"Tonthemen"});
  EXPECT_EQ(navigation.pages().front()->title()->utf8(), "Einstellungen");
  EXPECT_EQ(render::targetAt(navigation, 20, 40)->label, "Zurück");
}

TEST_F(Screenshot, TheMailComposersButtonsFollowTheDeviceLanguage) {
  ASSERT_TRUE(device::setSetting("Language", "ja"));
  auto navigation = open();
  ASSERT_TRUE(navigation.tap({"Contact Support"}));
  std::vector<std::string> labels;
  for (const auto& target : render::targets(navigation)) labels.push_back(target.label);
  EXPECT_EQ(labels, (std::vector<std::string>{"キャンセル", "送信"}));
}

/// How tall, in points, the ink of a label's last letters is: an ellipsis
/// sits on the baseline, a letter reaches at least its x-height.
double lastLetterHeight(const render::Picture& picture, CGRect frame, int scale, const render::Picture::Pixel& paper) {
  int left = static_cast<int>(frame.origin.x * scale), right = static_cast<int>((frame.origin.x + frame.size.width) * scale);
  int top = static_cast<int>(frame.origin.y * scale), bottom = static_cast<int>((frame.origin.y + frame.size.height) * scale);
  auto inked = [&](int x, int y) { return !near(picture.pixel(x, y), paper, 60); };
  int last = -1;
  for (int x = right + 2 * scale; x >= left && last < 0; --x)
    for (int y = top; y < bottom && last < 0; ++y)
      if (inked(x, y)) last = x;
  if (last < 0) return 0;
  int highest = bottom, lowest = top - 1;
  for (int x = last - 2 * scale; x <= last; ++x)
    for (int y = top; y < bottom; ++y)
      if (inked(x, y)) highest = std::min(highest, y), lowest = std::max(lowest, y);
  return lowest < highest ? 0 : static_cast<double>(lowest - highest + 1) / scale;
}

TEST_F(Screenshot, AValueIsDrawnWholeWhereItFitsBesideItsTitleAndCutOnlyWhereNot) {
  // On a phone "Volume Up Sound" leaves "Mac Volume Change" too little room; German's "Ton für lauter" leaves enough.
  for (const char* language : {"en", "de"}) {
    ASSERT_TRUE(device::setSetting("Language", language));
    auto navigation = open({language == std::string("en") ? "Sound Themes" : "Tonthemen"});
    UITableViewCell* cell = navigation.page()->table()->cellForRowAtIndexPath(0, 0);
    UILabel* value = cell->detailTextLabel();
    ASSERT_EQ(value->text()->utf8(), "Mac Volume Change");
    bool fits = 15 + cell->textLabel()->intrinsicContentSize().width + 10 + value->intrinsicContentSize().width <=
                cell->frame().size.width - 35;
    EXPECT_EQ(fits, language == std::string("de"));
    EXPECT_EQ(value->frame().size.width >= value->intrinsicContentSize().width, fits) << language;
    for (int scale : {1, 2, 3}) {
      auto picture = render::screenshot(navigation, {scale});
      double height = lastLetterHeight(picture, onScreen(value), scale, {255, 255, 255, 255});
      if (fits) EXPECT_GT(height, 6) << "cut at scale " << scale;
      else EXPECT_LT(height, 4) << "an ellipsis expected at scale " << scale;
    }
  }
}

TEST_F(Screenshot, ALongTitleTakesTheBarsFreeWidthBeforeItIsCut) {
  auto navigation = open({"Makers"});
  navigation.page()->setTitle(NSSTR("Makers of Orvane and All"));
  foundation::clock::advance(2);
  auto picture = render::screenshot(navigation, {2});
  // The title reaches left of where a box of the bar's middle would end it, and the back button
  // gives way to it, leaving its chevron.
  EXPECT_GT(inkIn(picture, CGRectMake(28, 26, 50, 32), 2), 40);
  EXPECT_GT(inkIn(picture, CGRectMake(242, 26, 26, 32), 2), 40);
}

}  // namespace
