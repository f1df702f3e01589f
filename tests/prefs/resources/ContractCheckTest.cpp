#include "prefs/resources/ContractCheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using testing::HasSubstr;

std::string row(const std::string& members) {
  return "<dict><key>cell</key><string>PSSwitchCell</string>" + members + "</dict>";
}

std::string keyed(const std::string& key, const std::string& defaultValue,
                  const std::string& notification = "com.quillmark.orvane/settingschanged") {
  return row("<key>key</key><string>" + key + "</string><key>default</key>" + defaultValue +
             "<key>PostNotification</key><string>" + notification + "</string>");
}

std::string list(const std::string& rows) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>items</key><array>" +
         row("<key>label</key><string>GROUP</string>") + rows + "</array></dict></plist>";
}

const std::string theme = "<string>Mac Volume Change</string>";
const std::string switchRow = keyed("isEnabled", "<true/>");
const std::string upRow = keyed("selectedIncreaseSound", theme);
const std::string downRow = keyed("selectedDecreaseSound", theme);

std::vector<std::string> check(const std::string& rows) {
  return contractcheck::problems({{"Page.plist", list(rows)}});
}

std::string readSource(const std::string& name) {
  std::ifstream file(std::string(ORVANE_SOURCE_DIR) + "/prefs/resources/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

TEST(ContractCheck, TheBundlesOwnListsAgree) {
  std::vector<contractcheck::SpecifierList> lists;
  for (const char* name : {"Orvane.plist", "OrvaneConfiguration.plist", "OrvaneMakers.plist"})
    lists.push_back({name, readSource(name)});
  EXPECT_THAT(contractcheck::problems(lists), testing::IsEmpty());
  // The keys may be spread over several lists.
  EXPECT_THAT(contractcheck::problems({{"A.plist", list(switchRow)}, {"B.plist", list(upRow + downRow)}}),
              testing::IsEmpty());
}

TEST(ContractCheck, ARowThatDisagreesIsRefusedWithItsFileRowAndReason) {
  struct Case {
    std::string rows;
    std::string said;
  };
  const std::vector<Case> cases = {
      {keyed("isEnabled", "<true/>", "com.quillmark.orvane/settingsChanged") + upRow + downRow,
       "Page.plist: row 1 (isEnabled): PostNotification is \"com.quillmark.orvane/settingsChanged\", but the hook "
       "library reloads on \"com.quillmark.orvane/settingschanged\""},
      {row("<key>key</key><string>isEnabled</string><key>default</key><true/>") + upRow + downRow,
       "row 1 (isEnabled): PostNotification is none"},
      {keyed("isEnabled", "<false/>") + upRow + downRow,
       "row 1 (isEnabled): default is <false/>, but a file without the key plays sounds: <true/>"},
      {keyed("isEnabled", "<string>YES</string>") + upRow + downRow, "default is \"YES\""},
      {switchRow + keyed("selectedIncreaseSound", "<string>Click</string>") + downRow,
       "row 2 (selectedIncreaseSound): default is \"Click\", but a button without a stored theme plays \"Mac Volume "
       "Change\""},
      {switchRow + upRow + downRow + keyed("selectedIncreseSound", theme),
       "row 4 (selectedIncreseSound): the key is not one of the preferences file's"},
      {switchRow + upRow + downRow + row("<key>PostNotification</key><string>x</string>"),
       "row 4: announces a change but stores no key"},
      {switchRow + upRow, "no row stores selectedDecreaseSound"},
  };
  for (const Case& each : cases) {
    std::vector<std::string> found = check(each.rows);
    ASSERT_EQ(found.size(), 1u) << each.said;
    EXPECT_THAT(found[0], HasSubstr(each.said));
  }
  EXPECT_THAT(contractcheck::problems({{"Broken.plist", "<plist><dict>"}, {"A.plist", list(switchRow + upRow + downRow)}}),
              testing::ElementsAre(HasSubstr("Broken.plist: cannot be read")));
}

TEST(ContractCheck, TheCheckerFailsTheBuildStepAndLeavesNoStamp) {
  auto folder = std::filesystem::temp_directory_path() / ("contract-check-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "Good.plist") << list(switchRow + upRow + downRow);
  std::ofstream(folder / "Bad.plist") << list(keyed("isEnabled", "<false/>"));
  auto run = [&](const std::string& listName) {
    std::string command = std::string(ORVANE_CHECK_PROPERTY_LISTS) + " " + (folder / "stamp").string() + " " +
                          (folder / listName).string() + " 2>/dev/null";
    return std::system(command.c_str());
  };
  EXPECT_NE(run("Bad.plist"), 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "stamp"));
  EXPECT_EQ(run("Good.plist"), 0);
  EXPECT_TRUE(std::filesystem::exists(folder / "stamp"));
  std::filesystem::remove_all(folder);
}

}  // namespace
