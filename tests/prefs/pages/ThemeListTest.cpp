#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fmt/format.h>
#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/audiotoolbox/AudioToolbox.h"
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

  std::string directory() const { return device.host("/Library/Application Support/Orvane/"); }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  Retained<PSListController> page;
};

}  // namespace

TEST_F(ThemeList, OnlyNamesThatLeadBackToTheirFileAreOfferedSorted) {
  fs::create_directories(directory() + "extra.wav");
  for (const char* file : {"Chime.wav", "beep.wav", "my.wave.wav", "a.wav.wav", "Beep.WAV", "readme.txt", ".hidden",
                           "._Chime.wav", "Beep", ".wav", "Beep.wav"})
    testsupport::writeFile(directory() + file, "RIFF");
  std::vector<std::string> expected = {"a.wav", "Beep", "beep", "Chime", "my.wave"};
  EXPECT_EQ(listed("themeTitles"), expected);
  EXPECT_EQ(listed("themeValues"), expected) << "titles and values, from two listings, agree";
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

TEST_F(ThemeList, EachPageOpenListsTheDirectoryOnceAndChecksTheStoredTheme) {
  fs::create_directories(directory());
  std::vector<std::string> expected;
  for (int n = 0; n < 300; ++n) {
    std::string name = fmt::format("Theme {:03}", n);
    testsupport::writeFile(directory() + name + ".wav", "RIFF");
    expected.push_back(n == 7 ? name + "*" : name);
  }
  testsupport::writeFile(device.host("/private/var/mobile/Library/Preferences/com.quillmark.orvane.plist"),
                         "<plist version=\"1.0\"><dict><key>selectedIncreaseSound</key><string>Theme 007</string></dict></plist>");
  countedDirectory = directory();
  auto navigation = UINavigationController::controllerWithRootViewController(page.get());
  navigation->beginAppearanceTransition(true, false);
  navigation->endAppearanceTransition(false);
  EXPECT_EQ(listings.exchange(0), 1) << "both pickers show their value from one listing";
  PSSpecifier* picker = page->groups().at(0).rows.at(0);
  EXPECT_EQ(text(page->table()->cellForRowAtIndexPath(0, 0)->detailTextLabel()), "Theme 007");

  auto* choices = objc_cast<PSListItemsController>(page->selectRow(picker));
  ASSERT_TRUE(choices);
  EXPECT_EQ(listings.exchange(0), 1) << "titles and values of the choices from one listing";
  EXPECT_EQ(shownChoices(choices), expected);

  ASSERT_TRUE(choices->pickTitle("Theme 299"));
  expected[7] = "Theme 007";
  expected[299] = "Theme 299*";
  EXPECT_EQ(shownChoices(choices), expected) << "the check follows the pick";
  navigation->popViewControllerAnimated(false);
  EXPECT_EQ(listings.exchange(0), 1);
  EXPECT_EQ(text(page->table()->cellForRowAtIndexPath(0, 0)->detailTextLabel()), "Theme 299");

  // Outside a page's build each source lists the directory anew, as before.
  testsupport::writeFile(directory() + "Zap.wav", "RIFF");
  EXPECT_EQ(listed("themeTitles").back(), "Zap");
  EXPECT_EQ(listed("themeValues").back(), "Zap");
  EXPECT_EQ(listings.exchange(0), 2);
  countedDirectory.clear();
}

namespace {

std::atomic<bool> lastSoundEnded{false};

void noteEnd(SystemSoundID, void*) { lastSoundEnded = true; }

}  // namespace

TEST_F(ThemeList, APickPlaysTheThemeOnceAndDisposesOfItsSoundAnUnplayableOneIsStoredSilently) {
  fs::create_directories(directory());
  for (const char* theme : {"Chime.wav", "Glass.wav"})
    fs::copy_file(std::string(ORVANE_SOUND_DIR) + "/" + theme, directory() + theme);
  testsupport::writeFile(directory() + "Broken.wav", "RIFF, but no sound at all");
  auto navigation = UINavigationController::controllerWithRootViewController(page.get());
  auto* choices = objc_cast<PSListItemsController>(page->selectRow(page->groups().at(0).rows.at(0)));
  ASSERT_TRUE(choices);
  for (const char* theme : {"Chime", "Broken", "Glass"}) ASSERT_TRUE(choices->pickTitle(theme));
  EXPECT_EQ(foundation::describe(choices->currentValue().get()), "Glass");

  // One sound at a time: a sound of our own cuts the last pick off, so once it
  // has ended, every pick's sound has ended too, and must have been disposed of.
  SystemSoundID last = 0;
  ASSERT_EQ(AudioServicesCreateSystemSoundID(
                NSURL::fileURLWithPath(NSSTR("/Library/Application Support/Orvane/Chime.wav")).get(), &last),
            kAudioServicesNoError);
  AudioServicesAddSystemSoundCompletion(last, nullptr, nullptr, noteEnd, nullptr);
  AudioServicesPlaySystemSound(last);
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
       !lastSoundEnded && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(lastSoundEnded);
  for (SystemSoundID picked : {last - 2, last - 1})
    EXPECT_EQ(AudioServicesDisposeSystemSoundID(picked), kAudioServicesSystemSoundUnspecifiedError)
        << "the sound of a pick is left behind";
  AudioServicesDisposeSystemSoundID(last);

  std::string log = testsupport::readFile(device.host(speaker::kLogPath));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
  EXPECT_THAT(log, testing::ContainsRegex("Chime.wav.*\n.*Glass.wav.*\n.*Chime.wav"));
}
