// The device's logs as users read them: log [-f] [--clear], syslog [-f], and
// what lands in them from both hosts (NSLog, a theme picked in Settings).
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/device/DeviceSetup.h"
#include "platform/device/LogSegment.h"
#include "platform/foundation/Foundation.h"
#include "platform/foundation/NSLog.h"
#include "tests/support/SimDeviceTest.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
namespace fs = std::filesystem;

/// `orvane-sim ... -f` running, its standard output read as it comes.
class Follower {
 public:
  Follower(const std::string& root, std::vector<std::string> words) {
    words.insert(words.begin(), {ORVANE_SIM, "--device", root});
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    if (posix_spawn(&pid_, ORVANE_SIM, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    output_ = ends[0];
  }
  ~Follower() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
  }

  /// Reads until the text has come (true) or 5 s have passed.
  bool awaits(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (seen_.find(text) == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd watched{output_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&watched, 1, static_cast<int>(left.count())) <= 0) return false;
      char buffer[4096];
      ssize_t got = ::read(output_, buffer, sizeof buffer);
      if (got <= 0) return false;
      seen_.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
  }
  const std::string& seen() const { return seen_; }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string seen_;
};

class LogCommand : public testsupport::SimDeviceTest {
 protected:
  // The logs need no package: a bare device.
  void SetUp() override { ASSERT_EQ(device::createDevice(root, device::DeviceOptions{}), ""); }

  /// A sound record as the speaker writes it, into segments of `limit` bytes.
  static void writeRecord(const std::string& file, long long limit = speaker::kLogSegmentBytes) {
    nlohmann::ordered_json line = {{"time", "2026-12-08T09:00:00.000Z"}, {"process", "Test"}, {"pid", 1}, {"file", file}};
    ASSERT_TRUE(files::appendLogRecord(speaker::kLogPath, speaker::kPreviousLogPath, limit, line.dump() + "\n"));
  }
};

TEST_F(LogCommand, FollowSeesLinesWrittenLaterAcrossRotationsAndAClear) {
  writeRecord("/before.wav");
  Follower follow(root, {"log", "-f"});
  ASSERT_TRUE(follow.awaits("/before.wav")) << follow.seen();
  writeRecord("/later.wav");
  ASSERT_TRUE(follow.awaits("/later.wav")) << follow.seen();
  // Segments of about one record: each write begins a new one.
  for (const char* file : {"/rotated-1.wav", "/rotated-2.wav", "/rotated-3.wav"}) {
    writeRecord(file, 100);
    ASSERT_TRUE(follow.awaits(file)) << follow.seen();
  }
  EXPECT_TRUE(fs::exists(host(speaker::kPreviousLogPath)));
  ASSERT_EQ(sim({"log", "--clear"}).status, 0);
  writeRecord("/after-clear.wav");
  ASSERT_TRUE(follow.awaits("/after-clear.wav")) << follow.seen();

  std::vector<std::string> files;
  std::istringstream lines(follow.seen());
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

  Follower follow(root, {"syslog", "-f"});
  ASSERT_TRUE(follow.awaits("before 1")) << follow.seen();
  NSLog("after %@", NSSTR("two\nlines"));
  ASSERT_TRUE(follow.awaits("after two\\nlines\n")) << follow.seen();
}

// The Settings app, through the device's own package: NSLog from Preferences,
// and a theme played when it is picked.
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

TEST_F(SettingsLog, APickedThemePlaysOnceInPreferencesUnlessSilentAndAnUnplayableOneIsStoredSilently) {
  auto picked = sim({"settings", "set", "Sound Themes/Volume Down Sound", "Chime"});
  ASSERT_EQ(picked.status, 0) << picked.err;
  auto records = soundRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["process"], "Preferences");
  EXPECT_EQ(records[0]["file"], "/Library/Application Support/Orvane/Chime.wav");
  EXPECT_EQ(stored("selectedDecreaseSound"), "Chime\n");

  ASSERT_EQ(sim({"ringer", "silent"}).status, 0);
  ASSERT_EQ(sim({"settings", "set", "Sound Themes/Volume Up Sound", "Glass"}).status, 0);
  EXPECT_EQ(soundRecords().size(), 1u) << "silent mode silences the preview";
  EXPECT_EQ(stored("selectedIncreaseSound"), "Glass\n");
  ASSERT_EQ(sim({"ringer", "ring"}).status, 0);

  testsupport::writeFile(root + "/Library/Application Support/Orvane/Broken.wav", "RIFF, but no sound at all");
  auto broken = sim({"settings", "set", "Sound Themes/Volume Up Sound", "Broken"});
  EXPECT_EQ(broken.status, 0);
  EXPECT_EQ(broken.err, "");
  EXPECT_EQ(soundRecords().size(), 1u);
  EXPECT_EQ(stored("selectedIncreaseSound"), "Broken\n");
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
