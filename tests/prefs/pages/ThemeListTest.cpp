#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fmt/format.h>
#include <gmock/gmock.h>

#include <atomic>
#include <filesystem>

#include "contract/Orvane.h"
#include "platform/audiotoolbox/Speaker.h"

#include "tests/prefs/SettingsBundle.h"

namespace fs = std::filesystem;

namespace {

std::atomic<int> listings {0};
std::string countedDirectory;

}  // namespace

// Counts the listings of one directory, whoever makes them.
extern "C" DIR* opendir(const char* path) {
  static auto real = reinterpret_cast<DIR* (*)(const char*)>(dlsym(RTLD_NEXT, "opendir"));
  if (path && !countedDirectory.empty() && fs::path(path).lexically_normal() == fs::path(countedDirectory).lexically_normal())
    ++listings;
  return real(path);
}

namespace {

class ThemeList : public ::testing::Test {
 protected:
  void SetUp() override {
    page = settingsbundle::page("QMOrvaneConfigurationListController", settingsbundle::installBuilt(device));
  }

  std::vector<std::string> listed(const char* source) {
    std::vector<std::string> names;
    auto* list = objc::send<NSArray*>(page.get(), source);
    if (!list) return {"(none)"};
    for (auto& name : *list) names.push_back(foundation::describe(name.get()));
    return names;
  }

  std::string directory() const { return device.host(orvane::contract::soundDirectory.c_str()); }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  Retained<PSListController> page;
};

}  // namespace

TEST_F(ThemeList, EveryEntryIsOfferedInTheListingsOrderLessOneFinalWav) {
  fs::create_directories(directory() + "extra");
  for (const char* file : {"Chime.wav", "beep.wav", "my.wave.wav", "a.wav.wav", "Beep.WAV", "readme.txt", ".hidden",
                           "._Chime.wav", "Beep", ".wav", "Beep.wav"})
    testsupport::writeFile(directory() + file, "RIFF");
  // By name as HFS+ orders it, either case alike; nothing dropped, nothing merged.
  std::vector<std::string> expected = {"._Chime", ".hidden", "",      "a.wav", "Beep",    "Beep.WAV",
                                       "Beep",    "beep",    "Chime", "extra", "my.wave", "readme.txt"};
  countedDirectory = directory();
  EXPECT_EQ(listed("themeTitles"), expected);
  EXPECT_EQ(listed("themeValues"), expected);
  EXPECT_EQ(listings.exchange(0), 2) << "each source lists the directory itself";
  countedDirectory.clear();
  for (const char* name : {"a.wav", "my.wave", "Chime"})
    EXPECT_TRUE(fs::exists(directory() + name + ".wav")) << name << " leads back to its file";
}

TEST_F(ThemeList, AnEmptyDirectoryOffersNothingAndAMissingOneNoList) {
  fs::create_directories(directory());
  EXPECT_TRUE(listed("themeValues").empty());
  fs::remove_all(directory());
  EXPECT_EQ(listed("themeTitles"), std::vector<std::string>{"(none)"});
}

namespace {

std::string text(UILabel* label) { return label && label->text() ? label->text()->utf8() : ""; }

/// The titles of a page's rows and, for those checked, a "*" after the title.
std::vector<std::string> shownChoices(PSListController* page) {
  std::vector<std::string> shown;
  for (auto& section : page->table()->sections())
    for (auto& cell : section.cells)
      shown.push_back(text(cell->textLabel()) + (cell->accessoryType() == UITableViewCellAccessoryCheckmark ? "*" : ""));
  return shown;
}

}  // namespace

TEST_F(ThemeList, EachPickerListsTheDirectoryForItsTitlesAndAgainForItsValuesAndChecksTheStoredTheme) {
  fs::create_directories(directory());
  std::vector<std::string> expected;
  for (int n = 0; n < 300; ++n) {
    std::string name = fmt::format("Theme {:03}", n);
    testsupport::writeFile(directory() + name + ".wav", "RIFF");
    expected.push_back(n == 7 ? name + "*" : name);
  }
  testsupport::writeFile(device.host(orvane::contract::preferencesPathPrivate.c_str()),
                         "<plist version=\"1.0\"><dict><key>selectedIncreaseSound</key><string>Theme 007</string></dict></plist>");
  countedDirectory = directory();
  auto navigation = UINavigationController::controllerWithRootViewController(page.get());
  navigation->beginAppearanceTransition(true, false);
  navigation->endAppearanceTransition(false);
  EXPECT_EQ(listings.exchange(0), 4) << "two pickers, each with its titles and its values";
  PSSpecifier* picker = page->groups().at(0).rows.at(0);
  EXPECT_EQ(text(page->table()->cellForRowAtIndexPath(0, 0)->detailTextLabel()), "Theme 007");

  auto* choices = objc_cast<PSListItemsController>(page->selectRow(picker));
  ASSERT_TRUE(choices);
  EXPECT_EQ(listings.exchange(0), 2) << "the choices' titles and values";
  EXPECT_EQ(shownChoices(choices), expected);

  ASSERT_TRUE(choices->pickTitle("Theme 299"));
  expected[7] = "Theme 007";
  expected[299] = "Theme 299*";
  EXPECT_EQ(shownChoices(choices), expected) << "the check follows the pick";
  navigation->popViewControllerAnimated(false);
  EXPECT_EQ(listings.exchange(0), 4);
  EXPECT_EQ(text(page->table()->cellForRowAtIndexPath(0, 0)->detailTextLabel()), "Theme 299");

  // A theme added between two listings is in the later one.
  testsupport::writeFile(directory() + "Zap.wav", "RIFF");
  EXPECT_EQ(listed("themeTitles").back(), "Zap");
  EXPECT_EQ(listed("themeValues").back(), "Zap");
  EXPECT_EQ(listings.exchange(0), 2);
  countedDirectory.clear();
}

TEST_F(ThemeList, APickIsStoredAsAnyChangeAndPlaysNothing) {
  fs::create_directories(directory());
  for (const char* theme : {"Chime.wav", "Glass.wav"})
    fs::copy_file(std::string(ORVANE_SOUND_DIR) + "/" + theme, directory() + theme);
  testsupport::writeFile(directory() + "Broken.wav", "RIFF, but no sound at all");
  auto navigation = UINavigationController::controllerWithRootViewController(page.get());
  auto* choices = objc_cast<PSListItemsController>(page->selectRow(page->groups().at(0).rows.at(0)));
  ASSERT_TRUE(choices);
  for (const char* theme : {"Chime", "Broken", "Glass"}) ASSERT_TRUE(choices->pickTitle(theme));
  EXPECT_EQ(foundation::describe(choices->currentValue().get()), "Glass");
  auto stored = NSDictionary::dictionaryWithContentsOfFile(NSSTR(orvane::contract::preferencesPath));
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->description(), "{\n    selectedIncreaseSound = Glass;\n}");
  EXPECT_FALSE(fs::exists(device.host(speaker::kLogPath))) << testsupport::readFile(device.host(speaker::kLogPath));
}
