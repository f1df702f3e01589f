#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/device/LogSegment.h"
#include "tests/support/TemporaryDevice.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* current = "/var/mobile/Library/Logs/Test.log";
constexpr const char* previous = "/var/mobile/Library/Logs/Test.1.log";

TEST(LogSegment, ClearsWhileWritersAppendAndRotateLeavingOnlyWholeRecords) {
  testsupport::TemporaryDevice device;
  std::atomic<bool> writing{true};
  std::vector<std::thread> writers;
  for (int writer = 0; writer < 3; ++writer)
    writers.emplace_back([&, writer] {
      for (int record = 0; writing; ++record) {
        std::string line = "record " + std::to_string(writer) + "." + std::to_string(record) + " " +
                           std::string(static_cast<std::size_t>(record % 300), 'x') + " end\n";
        [[maybe_unused]] auto appended = files::appendLogRecord(current, previous, 2048, line);
      }
    });
  int clears = 0;
  for (int round = 0; round < 300; ++round) clears += files::clearLog(current, previous).has_value();
  writing = false;
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(clears, 300);

  std::regex whole("record [0-9]+\\.[0-9]+ x* end");
  for (const char* path : {current, previous}) {
    std::istringstream lines(testsupport::readFile(device.host(path)));
    for (std::string line; std::getline(lines, line);) ASSERT_TRUE(std::regex_match(line, whole)) << path << ": " << line;
    if (fs::exists(device.host(path))) {
      EXPECT_LE(fs::file_size(device.host(path)), 2048u) << path;
    }
  }
}

TEST(LogSegment, ClearEmptiesTheCurrentSegmentInPlaceAndRemovesThePrevious) {
  testsupport::TemporaryDevice device;
  EXPECT_TRUE(files::clearLog(current, previous).has_value()) << "nothing to clear";
  ASSERT_TRUE(files::appendLogRecord(current, previous, 10, "first\n"));
  ASSERT_TRUE(files::appendLogRecord(current, previous, 10, "second\n"));
  ASSERT_EQ(testsupport::readFile(device.host(previous)), "first\n");
  auto inode = [&] {
    struct stat status {};
    ::stat(device.host(current).c_str(), &status);
    return status.st_ino;
  };
  auto before = inode();
  ASSERT_TRUE(files::clearLog(current, previous).has_value());
  EXPECT_FALSE(fs::exists(device.host(previous)));
  EXPECT_EQ(inode(), before);
  EXPECT_EQ(fs::file_size(device.host(current)), 0u) << "emptied, so that open readers see it emptied";

  // Something that is not a log file in its place is left alone.
  fs::remove(device.host(current));
  fs::create_directory(device.host(current));
  auto refused = files::clearLog(current, previous);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message().rfind(std::string("cannot clear ") + current + ": ", 0), 0u)
      << refused.error().message();
  auto appended = files::appendLogRecord(current, previous, 10, "third\n");
  ASSERT_FALSE(appended);
  EXPECT_EQ(appended.error().message(), std::string("cannot write ") + current + ": Is a directory");
  // Opened, but no file to write records in: said so, where it used to be a bare failure.
  fs::remove(device.host(current));
  ASSERT_EQ(::mkfifo(device.host(current).c_str(), 0644), 0);
  auto opened = files::openLogSegment(current, previous, 10, 6, O_RDWR, true);
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.error().message(), std::string("cannot write ") + current + ": it is not a regular file");
}

}  // namespace

TEST(LogSegment, AnAppendFollowsTheLogWhenSomeoneElseRotatesRemovesOrReplacesIt) {
  testsupport::TemporaryDevice device;
  // The first append makes the file; from the second on, the segment is kept open.
  ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "one\n"));
  ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "two\n"));
  fs::rename(device.host(current), device.host(previous));
  ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "three\n"));
  EXPECT_EQ(testsupport::readFile(device.host(previous)), "one\ntwo\n");
  EXPECT_EQ(testsupport::readFile(device.host(current)), "three\n");

  ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "four\n"));
  fs::remove(device.host(current));
  ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "five\n"));
  EXPECT_EQ(testsupport::readFile(device.host(current)), "five\n");

  // A link put in its place is never written through.
  ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "six\n"));
  fs::remove(device.host(current));
  fs::create_symlink(device.host("/elsewhere"), device.host(current));
  EXPECT_FALSE(files::appendLogRecord(current, previous, 1000, "seven\n"));
  EXPECT_FALSE(fs::exists(device.host("/elsewhere")));
}

TEST(LogSegment, AppendsInOneDeviceAfterAnotherKeepNoDescriptorOfTheDevicesLeft) {
  auto openDescriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
  };
  {
    testsupport::TemporaryDevice first;
    ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "first\n"));
    ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "kept\n"));
  }
  auto before = openDescriptors();
  for (int round = 0; round < 20; ++round) {
    testsupport::TemporaryDevice device;
    ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "line\n"));
    ASSERT_TRUE(files::appendLogRecord(current, previous, 1000, "kept\n"));
    EXPECT_EQ(testsupport::readFile(device.host(current)), "line\nkept\n");
  }
  EXPECT_LE(openDescriptors(), before);
}
