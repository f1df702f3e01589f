#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <set>
#include <filesystem>

#include "platform/hostrun/Run.h"
#include "platform/libc/Process.h"
#include "platform/libc/Spawn.h"
#include "tests/support/TemporaryDevice.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class Spawn : public ::testing::Test {
 protected:
  /// A device program: a shell script with `body`, run by the host's shell.
  void program(const std::string& name, const std::string& body) {
    writeFile(device.host("/usr/bin/" + name), "#!/bin/sh\n" + body);
    ::chmod(device.host("/usr/bin/" + name).c_str(), 0755);
    libc::setLocalCommand("/usr/bin/" + name, {"/bin/sh", device.host("/usr/bin/" + name)});
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

TEST_F(Spawn, AFileOfTheDeviceNeverRunsOnlyItsOwnToolsDo) {
  // A package's file, even at the place of a device tool, is not run on this computer.
  std::string marker = device.root() + "-ran";
  for (std::string path : {"/usr/bin/shipped", "/usr/bin/../bin/shipped"}) {
    writeFile(device.host("/usr/bin/shipped"), "#!/bin/sh\ntouch '" + marker + "'\n");
    ::chmod(device.host("/usr/bin/shipped").c_str(), 0755);
    auto run = libc::runWithOutputFile(path, {}, "/tmp/out.log");
    EXPECT_EQ(run.status, -1) << path;
    EXPECT_FALSE(fs::exists(marker)) << path;
  }
  // The package tool is the host's dpkg-query on the device's own database.
  writeFile(device.host("/usr/bin/dpkg"), "#!/bin/sh\ntouch '" + marker + "'\n");
  ::chmod(device.host("/usr/bin/dpkg").c_str(), 0755);
  writeFile(device.host("/private/var/lib/dpkg/status"),
            "Package: on-the-device\nStatus: install ok installed\nVersion: 2.5\nArchitecture: all\n"
            "Maintainer: a <a@b.c>\nDescription: d\n");
  auto listed = libc::runWithOutputFile("/usr/bin/dpkg", {"-W"}, "/tmp/dpkgl.log");
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.contents, std::optional<std::string>("on-the-device\t2.5\n"));
  EXPECT_FALSE(fs::exists(marker));
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

namespace {

/// A line of /proc/self/status as a program started here sees it.
std::string statusLineOfChild(const std::string& name) {
  auto ran = hostrun::run({"grep", "^" + name + ":", "/proc/self/status"});
  return ran ? ran->output : ran.error().message();
}

}  // namespace

TEST(SpawnProcess, RedirectsTheStreamsAndFindsProgramsOnThePathOnlyWhenAsked) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  libc::SpawnOptions options;
  options.lookup = libc::Lookup::SearchPath;
  options.output = libc::Redirection::to(ends[1]);
  options.errors = libc::Redirection::null();
  auto child = libc::spawn({"sh", "-c", "echo out; echo err >&2; exit 4"}, options);
  ::close(ends[1]);
  ASSERT_TRUE(child) << child.error().message();
  char buffer[16] = {};
  EXPECT_EQ(::read(ends[0], buffer, sizeof buffer), 4);
  EXPECT_STREQ(buffer, "out\n");
  ::close(ends[0]);
  auto ending = libc::waitFor(*child);
  ASSERT_TRUE(ending);
  EXPECT_EQ(ending->exitStatus, 4);
  EXPECT_EQ(ending->signal, 0);

  auto exact = libc::spawn({"sh", "-c", "true"});
  ASSERT_FALSE(exact) << "a bare name is not looked up unless asked";
  EXPECT_EQ(exact.error().code(), ENOENT);
  EXPECT_NE(exact.error().message().find("cannot run sh"), std::string::npos) << exact.error().message();
  EXPECT_FALSE(libc::spawn({}));
}

TEST(SpawnProcess, ChildrenStartWithNoSignalBlockedOrIgnoredPipe) {
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, nullptr), 0);
  EXPECT_EQ(statusLineOfChild("SigBlk"), "SigBlk:\t0000000000000000\n");
  std::string ignored = statusLineOfChild("SigIgn");
  ASSERT_EQ(ignored.rfind("SigIgn:\t", 0), 0u) << ignored;
  unsigned long long mask = std::stoull(ignored.substr(8), nullptr, 16);
  EXPECT_EQ(mask & (1ull << (SIGPIPE - 1)), 0u) << ignored;
}
