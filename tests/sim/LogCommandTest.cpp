// The device's logs as users read them: log [-f] [--clear], syslog [-f], and
// what lands in them from both hosts (NSLog, a theme picked in Settings).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <nlohmann/json.hpp>

#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/device/DeviceSetup.h"
#include "platform/device/LogSegment.h"
#include "platform/foundation/Foundation.h"
#include "platform/foundation/NSLog.h"
#include "tests/support/SimDeviceTest.h"

namespace {

using testing::HasSubstr;
namespace fs = std::filesystem;

class LogCommand : public testsupport::SimDeviceTest {
 protected:
  // The logs need no package: a bare device.
  void SetUp() override { ASSERT_TRUE(device::createDevice(root, device::DeviceOptions{})); }

  /// A sound record as the speaker writes it, into segments of `limit` bytes.
  static void writeRecord(const std::string& file, long long limit = speaker::kLogSegmentBytes) {
    nlohmann::ordered_json line = {{"time", "2026-12-08T09:00:00.000Z"}, {"process", "Test"}, {"pid", 1}, {"file", file}};
    ASSERT_TRUE(files::appendLogRecord(speaker::kLogPath, speaker::kPreviousLogPath, limit, line.dump() + "\n"));
  }
};

TEST_F(LogCommand, FollowSeesLinesWrittenLaterAcrossRotationsAndAClear) {
  writeRecord("/before.wav");
  testsupport::RunningSim follow(ORVANE_SIM, root, {"log", "-f"});
  ASSERT_TRUE(follow.awaits("/before.wav")) << follow.printed();
  writeRecord("/later.wav");
  ASSERT_TRUE(follow.awaits("/later.wav")) << follow.printed();
  // Segments of about one record: each write begins a new one.
  for (const char* file : {"/rotated-1.wav", "/rotated-2.wav", "/rotated-3.wav"}) {
    writeRecord(file, 100);
    ASSERT_TRUE(follow.awaits(file)) << follow.printed();
  }
  EXPECT_TRUE(fs::exists(host(speaker::kPreviousLogPath)));
  ASSERT_EQ(sim({"log", "--clear"}).status, 0);
  writeRecord("/after-clear.wav");
  ASSERT_TRUE(follow.awaits("/after-clear.wav")) << follow.printed();

  std::vector<std::string> files;
  std::istringstream lines(follow.printed());
  for (std::string line; std::getline(lines, line);) files.push_back(line.substr(line.rfind(' ') + 1));
  EXPECT_THAT(files, testing::ElementsAre("/before.wav", "/later.wav", "/rotated-1.wav", "/rotated-2.wav",
                                          "/rotated-3.wav", "/after-clear.wav"))
      << "each line once, in order";
}

TEST_F(LogCommand, ClearEmptiesTheLogAndTheRecordingWithTheirPreviousSegments) {
  EXPECT_EQ(sim({"log", "--clear"}).status, 0) << "a device without logs is clear already";
  writeRecord("/a.wav", 100);
  writeRecord("/b.wav", 100);
  testsupport::writeFile(host(speaker::kRecordingPath), "RIFF recording");
  testsupport::writeFile(host(speaker::kPreviousRecordingPath), "RIFF older");
  ASSERT_EQ(sim({"log"}).out.size() > 0, true);

  auto cleared = sim({"log", "--clear"});
  EXPECT_EQ(cleared.status, 0) << cleared.err;
  EXPECT_EQ(fs::file_size(host(speaker::kLogPath)), 0u);
  EXPECT_EQ(fs::file_size(host(speaker::kRecordingPath)), 0u);
  EXPECT_FALSE(fs::exists(host(speaker::kPreviousLogPath)));
  EXPECT_FALSE(fs::exists(host(speaker::kPreviousRecordingPath)));
  EXPECT_EQ(sim({"log"}).out, "");

  // Nothing outside the device is emptied through a link put in the log's place.
  std::string outside = device.root() + "/outside.txt";
  testsupport::writeFile(outside, "keep");
  fs::remove(host(speaker::kLogPath));
  fs::create_symlink(outside, host(speaker::kLogPath));
  auto refused = sim({"log", "--clear"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("cannot clear"));
  EXPECT_EQ(testsupport::readFile(outside), "keep");
  fs::remove(outside);
}

TEST_F(LogCommand, SyslogHoldsNSLogLinesOfEveryProcessAndFollowsThem) {
  device::setProcessName("LogTest");
  NSLog("before %d", 1);
  auto read = sim({"syslog"});
  EXPECT_EQ(read.status, 0);
  EXPECT_THAT(read.out, testing::ContainsRegex("Z LogTest\\[" + std::to_string(getpid()) + "\\]: before 1\n$"));

  testsupport::RunningSim follow(ORVANE_SIM, root, {"syslog", "-f"});
  ASSERT_TRUE(follow.awaits("before 1")) << follow.printed();
  NSLog("after %@", NSSTR("two\nlines"));
  ASSERT_TRUE(follow.awaits("after two\\nlines\n")) << follow.printed();
}

// The Settings app, through the device's own package: NSLog from Preferences,
// and no sound of its own when a theme is picked.
class SettingsLog : public LogCommand {
 protected:
  void SetUp() override { init(); }

  std::vector<nlohmann::json> soundRecords() {
    std::vector<nlohmann::json> records;
    std::istringstream lines(sim({"log", "--json"}).out);
    for (std::string line; std::getline(lines, line);) records.push_back(nlohmann::json::parse(line));
    return records;
  }

  std::string stored(const char* key) { return sim({"defaults", "read", key}).out; }
};

TEST_F(SettingsLog, APickedThemeIsStoredAndSettingsPlaysNothing) {
  testsupport::writeFile(root + "/Library/Application Support/Orvane/Broken.wav", "RIFF, but no sound at all");
  for (const char* theme : {"Chime", "Broken"}) {
    auto picked = sim({"settings", "set", "Sound Themes/Volume Down Sound", theme});
    ASSERT_EQ(picked.status, 0) << picked.err;
    EXPECT_EQ(picked.err, "");
    EXPECT_EQ(stored("selectedDecreaseSound"), std::string(theme) + "\n");
  }
  ASSERT_EQ(sim({"settings", "set", "Sound Themes/Volume Up Sound", "Glass"}).status, 0);
  EXPECT_TRUE(soundRecords().empty()) << "a pick is stored as any change is; only SpringBoard plays";
}

TEST_F(SettingsLog, PreferencesNoticesReachTheSystemLog) {
  // An item of the bundle's page that is no row: Preferences skips it and says so.
  auto page = NSMutableDictionary::dictionary();
  auto* path = NSSTR("/Library/PreferenceBundles/Orvane.bundle/OrvaneConfiguration.plist");
  page->addEntriesFromDictionary(NSDictionary::dictionaryWithContentsOfFile(path).get());
  auto items = NSMutableArray::array();
  for (auto& item : *objc_cast<NSArray>(page->objectForKey("items"))) items->addObject(item.get());
  items->addObject(NSSTR("not a row"));
  page->setObject_forKey(items.get(), "items");
  ASSERT_TRUE(page->writeToFile_atomically(path, true));

  ASSERT_EQ(sim({"settings", "show", "Sound Themes"}).status, 0);
  EXPECT_THAT(sim({"syslog"}).out, testing::ContainsRegex("Preferences\\[[0-9]+\\]: Preferences: .*OrvaneConfiguration.plist: item " +
                                                          std::to_string(items->count()) + " skipped"));
}

}  // namespace
