#include <gtest/gtest.h>

#include <filesystem>

#include "sim/settings/Navigation.h"
#include "sim/settings/PageJson.h"
#include "sim/settings/PageText.h"
#include "sim/settings/SettingsEntry.h"
#include "tests/support/TemporaryDevice.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* entryPath = "/Library/PreferenceLoader/Preferences/Orvane.plist";

class SettingsPages : public ::testing::Test {
 protected:
  void installEntry() {
    fs::create_directories(fs::path(device.host(entryPath)).parent_path());
    fs::copy_file(ORVANE_SETTINGS_ENTRY, device.host(entryPath));
  }
  void installBundle() {
    fs::create_directories(device.host("/Library/PreferenceBundles"));
    fs::copy(ORVANE_BUNDLE_DIR, device.host("/Library/PreferenceBundles/Orvane.bundle"), fs::copy_options::recursive);
  }
  settings::Navigation open() {
    installEntry();
    installBundle();
    auto loaded = settings::loadEntry("Orvane");
    if (!loaded) ADD_FAILURE() << loaded.error().message();
    return settings::Navigation(loaded.value());
  }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
};

const settings::RowSnapshot* findRow(const settings::PageSnapshot& page, const std::string& label) {
  for (auto& group : page.groups)
    for (auto& row : group.rows)
      if (row.label == label) return &row;
  return nullptr;
}

}  // namespace

TEST_F(SettingsPages, LoadingNamesTheMissingPiece) {
  auto noEntry = settings::loadEntry("Orvane");
  ASSERT_FALSE(noEntry);
  EXPECT_NE(noEntry.error().message().find(entryPath), std::string::npos) << noEntry.error().message();

  installEntry();
  auto noBundle = settings::loadEntry("Orvane");
  ASSERT_FALSE(noBundle);
  EXPECT_EQ(noBundle.error().message(), "the bundle /Library/PreferenceBundles/Orvane.bundle is missing");

  installBundle();
  auto loaded = settings::loadEntry("Orvane");
  ASSERT_TRUE(loaded) << loaded.error().message();
  EXPECT_EQ(loaded->label, "Orvane");
  EXPECT_STREQ(class_getName(loaded->pageClass), "OrvaneListController");
}

TEST_F(SettingsPages, JsonAndTextRenderOneSnapshot) {
  auto navigation = open();
  ASSERT_TRUE(navigation.set({"Volume Sounds"}, "on"));
  auto page = settings::snapshotPage(*navigation.page());
  const settings::RowSnapshot* enabled = findRow(page, "Volume Sounds");
  ASSERT_NE(enabled, nullptr);
  EXPECT_EQ(enabled->kind, "switch");
  EXPECT_EQ(enabled->value, (std::variant<std::monostate, bool, std::string>(true)));

  nlohmann::json json = settings::toJson(page);
  std::string text = settings::toText(page);
  EXPECT_EQ(json["class"], page.className);
  ASSERT_EQ(json["groups"].size(), page.groups.size());
  for (std::size_t group = 0; group < page.groups.size(); ++group) {
    ASSERT_EQ(json["groups"][group]["rows"].size(), page.groups[group].rows.size());
    for (std::size_t row = 0; row < page.groups[group].rows.size(); ++row) {
      auto& shown = page.groups[group].rows[row];
      EXPECT_EQ(json["groups"][group]["rows"][row]["label"], shown.label);
      EXPECT_EQ(json["groups"][group]["rows"][row].contains("opens"), shown.opens.has_value());
      EXPECT_NE(text.find(shown.label), std::string::npos) << shown.label << " missing from\n" << text;
    }
  }
  EXPECT_NE(text.find("Volume Sounds"), std::string::npos);
  EXPECT_NE(text.find("switch  on"), std::string::npos) << text;

  // Text that is not UTF-8 still gives JSON.
  EXPECT_EQ(settings::jsonText(nlohmann::json("bad \xff byte")), "\"bad \xef\xbf\xbd byte\"\n");
}

TEST_F(SettingsPages, NavigationFollowsLabelsAndNamesWhatIsWrong) {
  auto navigation = open();
  std::string first = object_getClassName(navigation.page());

  auto missing = navigation.follow({"Nowhere"});
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.error().message().find("no row \"Nowhere\" on the page"), std::string::npos);
  EXPECT_NE(missing.error().message().find("\"Volume Sounds\""), std::string::npos) << "lists the rows there are";
  EXPECT_EQ(object_getClassName(navigation.page()), first) << "a failed follow stays where it was";

  EXPECT_EQ(navigation.follow({"Volume Sounds"}).error().message(),
            "the row \"Volume Sounds\" is a switch row and opens no page");
  EXPECT_EQ(navigation.set({"Volume Sounds"}, "maybe").error().message(),
            "a switch is set \"on\" or \"off\", not \"maybe\"");
  EXPECT_EQ(navigation.tap({}).error().message(), "tap needs the path of a row");

  std::size_t depth = navigation.pages().size();
  ASSERT_TRUE(navigation.follow(settings::splitPath("/Sound Themes/")));
  EXPECT_NE(object_getClassName(navigation.page()), first);
  ASSERT_EQ(navigation.pages().size(), depth + 1);
  EXPECT_EQ(navigation.pages().back(), navigation.page());
  auto noChoice = navigation.set({"Volume Up Sound"}, "No Such Theme");
  ASSERT_FALSE(noChoice);
  EXPECT_NE(noChoice.error().message().find("no choice \"No Such Theme\" for \"Volume Up Sound\"; its choices: "),
            std::string::npos)
      << noChoice.error().message();
}

TEST_F(SettingsPages, InspectionShowsBarsAndViewsInBothOutputs) {
  auto navigation = open();
  auto inspection = settings::snapshotInspection(navigation);
  EXPECT_EQ(inspection.pageClass, object_getClassName(navigation.page()));
  ASSERT_FALSE(inspection.navigationBars.empty());
  EXPECT_EQ(inspection.navigationBars[0].owner, "Settings");

  nlohmann::json json = settings::toJson(inspection);
  EXPECT_EQ(json["page"], inspection.pageClass);
  EXPECT_EQ(json["navigationBars"][0]["owner"], "Settings");
  EXPECT_EQ(json["view"]["class"], inspection.view.className);
  EXPECT_EQ(json["view"]["subviews"].size(), inspection.view.subviews.size());
  std::string text = settings::toText(inspection);
  EXPECT_EQ(text.rfind("page " + inspection.pageClass, 0), 0u) << text;
  EXPECT_NE(text.find("navigation bar of Settings:"), std::string::npos) << text;
  EXPECT_NE(text.find(inspection.view.className + " {{"), std::string::npos) << text;
}
