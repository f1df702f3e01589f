#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/libc/Spawn.h"
#include "tests/support/TemporaryDevice.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class Spawn : public ::testing::Test {
 protected:
  /// A device program: a shell script with `body`.
  void program(const std::string& name, const std::string& body) {
    writeFile(device.host("/usr/bin/" + name), "#!/bin/sh\n" + body);
    ::chmod(device.host("/usr/bin/" + name).c_str(), 0755);
  }

  testsupport::TemporaryDevice device;
};

}  // namespace

TEST_F(Spawn, TheOutputComesBackWithTheStatusAndStaysInItsFile) {
  fs::create_directories(device.host("/usr/bin"));
  program("tool", "echo \"$@\"; echo to-stderr >&2; exit 3\n");
  auto run = libc::runWithOutputFile("/usr/bin/tool", {"-l", "two words"}, "/tmp/out.log");
  EXPECT_EQ(run.status, 3);
  ASSERT_TRUE(run.contents);
  EXPECT_EQ(*run.contents, "-l two words\n");
  EXPECT_EQ(readFile(device.host("/tmp/out.log")), "-l two words\n");

  // A missing program leaves an empty fresh file, and says it did not run.
  auto missing = libc::runWithOutputFile("/usr/bin/none", {}, "/tmp/out.log");
  EXPECT_EQ(missing.status, -1);
  EXPECT_EQ(missing.contents, std::optional<std::string>(""));
  EXPECT_EQ(readFile(device.host("/tmp/out.log")), "");
}

TEST_F(Spawn, OutputOverTheLimitOrWithoutAFreshFileGivesNoContents) {
  fs::create_directories(device.host("/usr/bin"));
  program("tool", "head -c 5000 /dev/zero\n");
  auto large = libc::runWithOutputFile("/usr/bin/tool", {}, "/tmp/out.log", 4999);
  EXPECT_EQ(large.status, 0);
  EXPECT_FALSE(large.contents);
  EXPECT_TRUE(libc::runWithOutputFile("/usr/bin/tool", {}, "/tmp/out.log", 5000).contents);

  // A directory in the file's place cannot be replaced: nothing runs, nothing is read.
  fs::remove(device.host("/tmp/out.log"));
  fs::create_directories(device.host("/tmp/out.log/inside"));
  auto blocked = libc::runWithOutputFile("/usr/bin/tool", {}, "/tmp/out.log");
  EXPECT_EQ(blocked.status, -1);
  EXPECT_FALSE(blocked.contents);
}
