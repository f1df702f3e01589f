#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "platform/foundation/NSLog.h"
#include "tests/support/TemporaryDevice.h"

namespace {

namespace fs = std::filesystem;
using testing::EndsWith;
using testing::MatchesRegex;

TEST(NSLog, WritesOneStampedLinePerCallWhateverTheMessageHolds) {
  testsupport::TemporaryDevice device;
  device::setProcessName("Tester");
  std::string prefix = "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}Z Tester\\[" +
                       std::to_string(getpid()) + "\\]: ";
  NSLog("%@ has %d themes", NSSTR("Orvane"), 8);
  NSLog("two\nlines\r, a tab\t, a \\ and a bell \a");
  std::istringstream lines(testsupport::readFile(device.host(foundation::kSystemLogPath)));
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_THAT(line, MatchesRegex(prefix + "Orvane has 8 themes"));
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_THAT(line, EndsWith("]: two\\nlines\\r, a tab\\t, a \\\\ and a bell \\x07"));
  EXPECT_FALSE(std::getline(lines, line));
}

TEST(NSLog, CutsOverlongMessagesBetweenCharacters) {
  testsupport::TemporaryDevice device;
  // "é" is two bytes: the limit falls inside one of them.
  std::string message = "a";
  while (message.size() < foundation::kLongestLogMessage + 10) message += "\xC3\xA9";
  std::string line = foundation::systemLogLine(message);
  std::string kept = line.substr(line.find("]: ") + 3);
  EXPECT_THAT(kept, EndsWith("\xC3\xA9\xE2\x80\xA6\n"));
  EXPECT_LE(kept.size(), foundation::kLongestLogMessage + 4);
}

TEST(NSLog, TheSystemLogIsRotatedLikeTheSpeakerLog) {
  testsupport::TemporaryDevice device;
  foundation::setSystemLogSegmentBytes(1000);
  for (int i = 0; i < 60; ++i) NSLog("message %d", i);
  std::string currentLog = device.host(foundation::kSystemLogPath);
  std::string previousLog = device.host(foundation::kPreviousSystemLogPath);
  EXPECT_LE(fs::file_size(currentLog), 1000u);
  EXPECT_LE(fs::file_size(previousLog), 1000u);
  EXPECT_THAT(testsupport::readFile(currentLog), EndsWith("message 59\n"));
}

}  // namespace
