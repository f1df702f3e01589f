#include "sim/common/LogReader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/device/LogSegment.h"
#include "tests/support/TemporaryDevice.h"

namespace {

constexpr const char* kLog = "/var/log/Test.log";
constexpr const char* kPrevious = "/var/log/Test.1.log";

class LogReaderTest : public ::testing::Test {
 protected:
  /// Appends lines as the device's writers do; a segment holds `limit` bytes.
  static void write(const std::string& text, long long limit = 1 << 20) {
    ASSERT_TRUE(files::appendLogRecord(kLog, kPrevious, limit, text));
  }
  std::vector<std::string> readNew() {
    std::vector<std::string> lines;
    reader.readNew([&](std::string_view line) { lines.emplace_back(line); });
    return lines;
  }
  using Lines = std::vector<std::string>;

  testsupport::TemporaryDevice device;
  logs::LogReader reader{kLog, kPrevious};
};

TEST_F(LogReaderTest, ALogEmptiedAndWrittenAgainBeforeTheReaderLooksIsReadFromItsStart) {
  write("one 1\ntwo 2\n");
  Lines history;
  reader.read([&](std::string_view line) { history.emplace_back(line); });
  EXPECT_EQ(history, (Lines{"one 1", "two 2"}));

  // As long as it was: the reader stands at its end, which is no end any more.
  ASSERT_TRUE(files::clearLog(kLog, kPrevious));
  write("six 6\nsix 7\n");
  EXPECT_EQ(readNew(), (Lines{"six 6", "six 7"}));

  // Longer, with a line cut in half at where the reader stood before.
  write("half a li");
  EXPECT_EQ(readNew(), Lines{});
  ASSERT_TRUE(files::clearLog(kLog, kPrevious));
  write("a new first line\nsecond\n");
  EXPECT_EQ(readNew(), (Lines{"a new first line", "second"}));

  // Shorter, and emptied with nothing after it.
  ASSERT_TRUE(files::clearLog(kLog, kPrevious));
  EXPECT_EQ(readNew(), Lines{});
  write("x\n");
  EXPECT_EQ(readNew(), Lines{"x"});

  // Only the bytes after those already read are new.
  write("y\n");
  write("z\n");
  EXPECT_EQ(readNew(), (Lines{"y", "z"}));
  EXPECT_EQ(readNew(), Lines{});
}

TEST_F(LogReaderTest, ReadsOnAcrossRotationsAndFollowsFromWhereItStands) {
  reader.read([](std::string_view) { ADD_FAILURE() << "no log yet"; });
  write("before\n");
  EXPECT_EQ(readNew(), Lines{"before"});
  // Rotated once (the rest of the old segment, then the new one), then twice in one go.
  write("old rest\n", 20);
  write("new segment\n", 20);
  EXPECT_EQ(readNew(), (Lines{"old rest", "new segment"}));
  write("second one\n", 20);
  write("third one\n", 20);
  EXPECT_EQ(readNew(), (Lines{"second one", "third one"}));

  write("while away\n", 20);
  Lines followed;
  reader.follow([&](std::string_view line) { followed.emplace_back(line); },
                [&] { return followed.empty(); }, logs::LogReader::From::Here);
  EXPECT_EQ(followed, Lines{"while away"});
}

}  // namespace
