#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "contract/Orvane.h"
#include "sim/common/Package.h"
#include "tests/support/SimDeviceTest.h"

namespace {

using Result = testsupport::SimResult;

class SettingsCommand : public testsupport::SimDeviceTest {
 protected:
  void settings(std::vector<std::string> words) {
    words.insert(words.begin(), "settings");
    Result done = sim(words);
    ASSERT_EQ(done.status, 0) << done.err;
  }

  nlohmann::json show(const std::string& path = "") {
    std::vector<std::string> words = {"settings", "show", "--json"};
    if (!path.empty()) words.push_back(path);
    Result shown = sim(words);
    EXPECT_EQ(shown.status, 0) << shown.err;
    return nlohmann::json::parse(shown.out.empty() ? "null" : shown.out);
  }
};

}  // namespace

TEST_F(SettingsCommand, ChoicesMadeInSettingsAreHeardInSpringBoard) {
  settings({"set", "Volume Sounds", "on"});
  settings({"set", "Sound Themes/Volume Down Sound", "Chime"});
  startSpringBoard();
  ASSERT_EQ(sim({"press", "down"}).status, 0);
  EXPECT_EQ(played(), std::vector<std::string>{theme("Chime")});

  // A change while SpringBoard runs reaches it through the notification.
  settings({"set", "Sound Themes/Volume Up Sound", "Click"});
  ASSERT_EQ(sim({"press", "up"}).status, 0);
  settings({"set", "Volume Sounds", "off"});
  ASSERT_EQ(sim({"press", "up"}).status, 0);
  EXPECT_EQ(played(), (std::vector<std::string>{theme("Chime"), theme("Click")}));
}

TEST_F(SettingsCommand, ShowAsJSONGivesGroupsRowsAndValues) {
  auto first = show();
  EXPECT_EQ(first["class"], "OrvaneListController");
  ASSERT_GE(first["groups"].size(), 2u);
  EXPECT_EQ(first["groups"][0]["header"], nullptr);
  EXPECT_EQ(first["groups"][0]["footer"], "Plays a sound after every press of a volume button.");
  auto& enabled = first["groups"][0]["rows"][0];
  EXPECT_EQ(enabled["label"], "Volume Sounds");
  EXPECT_EQ(enabled["kind"], "switch");
  EXPECT_EQ(enabled["key"], "isEnabled");
  EXPECT_EQ(enabled["value"], true) << "the switch's default, before any file";
  EXPECT_EQ(first["groups"][1]["header"], "Sounds");
  auto& link = first["groups"][1]["rows"][0];
  EXPECT_EQ(link["label"], "Sound Themes");
  EXPECT_EQ(link["kind"], "link");
  EXPECT_EQ(link["opens"], "QMOrvaneConfigurationListController");

  settings({"set", "Sound Themes/Volume Up Sound", "Drop"});
  auto themes = show("Sound Themes");
  EXPECT_EQ(themes["title"], "Sound Themes");
  ASSERT_EQ(themes["groups"].size(), 2u);
  EXPECT_EQ(themes["groups"][0]["rows"][0]["value"], "Drop");
  EXPECT_EQ(themes["groups"][1]["rows"][0]["value"], "Mac Volume Change");
  EXPECT_EQ(themes["groups"][1]["rows"][0]["key"], "selectedDecreaseSound");
  EXPECT_EQ(themes["groups"][1]["footer"], "Themes are the sounds installed in /Library/Application Support/Orvane.");

  auto choices = show("Sound Themes/Volume Up Sound");
  std::vector<std::string> checked;
  for (auto& row : choices["groups"][0]["rows"])
    if (row["value"] == true) checked.push_back(row["label"]);
  EXPECT_EQ(checked, std::vector<std::string>{"Drop"});
  EXPECT_GE(choices["groups"][0]["rows"].size(), 5u);
}

TEST_F(SettingsCommand, AMissingRowFailsWithOneLineNamingTheRows) {
  for (const char* path : {"No Such Row", "Sound Themes/Volume Sideways"}) {
    Result missing = sim({"settings", "show", path});
    EXPECT_EQ(missing.status, 1) << path;
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;
    EXPECT_EQ(missing.err.back(), '\n');
    std::string rows = std::string(path).starts_with("Sound") ? "\"Volume Up Sound\", \"Volume Down Sound\""
                                                              : "\"Volume Sounds\", \"Sound Themes\"";
    EXPECT_NE(missing.err.find(rows), std::string::npos) << missing.err;
  }
  Result choice = sim({"settings", "set", "Sound Themes/Volume Up Sound", "Trumpet"});
  EXPECT_EQ(choice.status, 1);
  EXPECT_NE(choice.err.find("\"Chime\""), std::string::npos) << choice.err;
}

TEST_F(SettingsCommand, TheDeviceLanguageChangesTheLabelsButNotTheStoredValues) {
  ASSERT_EQ(sim({"language", "de-AT"}).status, 0);
  auto first = show();
  EXPECT_EQ(first["groups"][0]["rows"][0]["label"], "Lautstärketöne");
  EXPECT_EQ(first["groups"][1]["header"], "Töne");
  settings({"set", "Tonthemen/Ton für leiser", "Glass"});
  EXPECT_EQ(sim({"defaults", "read", "selectedDecreaseSound"}).out, "Glass\n");
  EXPECT_EQ(show("Tonthemen")["title"], "Tonthemen");
  EXPECT_EQ(sim({"settings", "show", "Sound Themes"}).status, 1);

  ASSERT_EQ(sim({"language", "en"}).status, 0);
  EXPECT_EQ(show()["groups"][0]["rows"][0]["label"], "Volume Sounds");
}

TEST_F(SettingsCommand, TextFromFilesThatIsNotUTF8IsShownReplacedInJSON) {
  const std::string replacement = "\xEF\xBF\xBD";
  testsupport::writeFile(root + orvane::contract::preferencesPath.c_str(),
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                         "<key>selectedIncreaseSound</key><string>Bad\xFF\xFEName</string></dict></plist>");
  testsupport::writeFile(root + "/Library/PreferenceBundles/Orvane.bundle/en.lproj/Localizable.strings",
                         "\"ENABLED\" = \"Volume \xC0 Sounds \\UD800\";\n\"CONFIGURATION\" = \"Sound Themes\";\n");
  std::string sounds = root + orvane::contract::soundDirectory.c_str();
  testsupport::writeFile(sounds + "Odd\xE2\x82.wav", testsupport::readFile(sounds + "Click.wav"));

  auto first = show();
  EXPECT_EQ(first["groups"][0]["rows"][0]["label"], "Volume " + replacement + " Sounds " + replacement);
  // A preferences file that is not UTF-8 is refused, as the platform refuses it: the default shows.
  auto themes = show("Sound Themes");
  EXPECT_EQ(themes["groups"][0]["rows"][0]["value"], "Mac Volume Change");
  Result choices = sim({"settings", "show", "--json", "Sound Themes/VOLUME_UP_SOUND"});
  EXPECT_EQ(choices.status, 0) << choices.err;
  EXPECT_TRUE(nlohmann::json::accept(choices.out)) << choices.out;
}
