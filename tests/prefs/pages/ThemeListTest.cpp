#include <gtest/gtest.h>

#include <filesystem>

#include "tests/prefs/SettingsBundle.h"

namespace fs = std::filesystem;

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
