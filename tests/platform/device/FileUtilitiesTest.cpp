#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/device/FileUtilities.h"
#include "platform/device/LogSegment.h"
#include "tests/support/TemporaryDevice.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> entries(const std::string& directory) {
  std::vector<std::string> names;
  for (auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

/// A pid that is certainly not alive now: a child that has been reaped.
pid_t deadPid() {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

/// Runs `body` in a child process and returns its exit status.
template <class Body>
int inChild(Body body) {
  pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class Files : public ::testing::Test {
 protected:
  testsupport::TemporaryDevice device;
  std::string directory = device.root() + "/files";
  std::string target = directory + "/prefs.plist";
  void SetUp() override { ASSERT_TRUE(files::makeDirectories(directory)); }
};

}  // namespace

TEST_F(Files, TemporariesOfDeadWritersAreRemovedOnTheNextWriteAndNoOthers) {
  std::string dead = ".prefs.plist." + std::to_string(deadPid()) + ".a1B2c3";
  std::string alive = ".prefs.plist.1.Zz9yX8";  // init never dies
  std::string mine = ".prefs.plist." + std::to_string(getpid()) + ".qwerty";
  std::vector<std::string> foreign = {".prefs.plist.abcdef", ".other.plist." + dead.substr(13), "prefs.plist.unreadable",
                                      ".prefs.plist." + dead.substr(13, dead.size() - 20) + ".toolong7"};
  for (auto& name : foreign) testsupport::writeFile(directory + "/" + name, "x");
  for (auto& name : {dead, alive, mine}) testsupport::writeFile(directory + "/" + name, "x");

  ASSERT_TRUE(files::writeAtomically(target, "new", files::Durability::Unflushed));
  auto left = entries(directory);
  EXPECT_EQ(std::count(left.begin(), left.end(), dead), 0);
  for (auto& name : foreign) EXPECT_EQ(std::count(left.begin(), left.end(), name), 1) << name;
  for (auto& name : {alive, mine}) EXPECT_EQ(std::count(left.begin(), left.end(), name), 1) << name;
  EXPECT_EQ(left.size(), foreign.size() + 3);
  EXPECT_EQ(testsupport::readFile(target), "new");
}

TEST_F(Files, AWriteKilledMidwayLeavesATemporaryTheNextWriteRemoves) {
  testsupport::writeFile(target, "old");
  pid_t writer = fork();
  if (writer == 0) {
    // Stops inside the write once the temporary exists: a file-size limit turns into SIGXFSZ, which stops it dead.
    struct rlimit limit {1 << 20, 1 << 20}, noCore {0, 0};
    setrlimit(RLIMIT_FSIZE, &limit);
    setrlimit(RLIMIT_CORE, &noCore);
    [[maybe_unused]] auto killed = files::writeAtomically(target, std::string(2 << 20, 'x'), files::Durability::Unflushed);
    _exit(0);
  }
  int status = 0;
  waitpid(writer, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(entries(directory).size(), 2u) << "a temporary file stays behind";
  EXPECT_EQ(testsupport::readFile(target), "old");
  ASSERT_TRUE(files::writeAtomically(target, "new", files::Durability::Flushed));
  EXPECT_EQ(entries(directory), std::vector<std::string>{"prefs.plist"});
}

TEST_F(Files, AFailedWriteSaysWhyKeepsTheOldFileAndLeavesNoTemporary) {
  // A directory in the file's place.
  ASSERT_TRUE(files::makeDirectories(target));
  errno = 0;
  EXPECT_FALSE(files::writeAtomically(target, "new", files::Durability::Flushed));
  EXPECT_TRUE(errno == EISDIR || errno == EEXIST || errno == ENOTEMPTY) << std::strerror(errno);
  EXPECT_EQ(entries(directory), std::vector<std::string>{"prefs.plist"});
  fs::remove(target);

  // A full file system, as a file-size limit shows it.
  testsupport::writeFile(target, "old");
  int reason = inChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {16, 16};
    setrlimit(RLIMIT_FSIZE, &limit);
    auto written = files::writeAtomically(target, std::string(1000, 'x'), files::Durability::Flushed);
    return written ? 0 : written.error().code();
  });
  EXPECT_EQ(reason, EFBIG);
  EXPECT_EQ(testsupport::readFile(target), "old");
  EXPECT_EQ(entries(directory), std::vector<std::string>{"prefs.plist"});

  // No directory at all.
  auto missing = files::writeAtomically(directory + "/missing/prefs.plist", "new", files::Durability::Flushed);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code(), ENOENT);
  EXPECT_EQ(missing.error().message(), "cannot write " + directory + "/missing/prefs.plist: No such file or directory");
}

TEST_F(Files, AnExclusiveLockSerialisesReadModifyWriteAcrossProcesses) {
  std::string counter = directory + "/counter";
  testsupport::writeFile(counter, "0");
  constexpr int writers = 6, rounds = 40;
  std::vector<pid_t> children;
  for (int i = 0; i < writers; ++i) {
    pid_t child = fork();
    if (child == 0) {
      for (int round = 0; round < rounds; ++round) {
        auto lock = files::ExclusiveLock::take(directory + "/.lock");
        if (!lock) _exit(1);
        int value = std::stoi(*files::readWhole(counter));
        usleep(100);
        if (!files::writeAtomically(counter, std::to_string(value + 1), files::Durability::Unflushed)) _exit(2);
      }
      _exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(testsupport::readFile(counter), std::to_string(writers * rounds));
}

TEST_F(Files, WritesLocksRenamesAndRemovalsOfTheDeviceResolveInsideItAsReadsDo) {
  // The device's log folder replaced by a link to a folder of this computer, named absolutely or by climbing.
  std::string outside = device.root() + "-outside";
  std::string name = fs::path(outside).filename();
  for (std::string link : {outside, "../../../" + name}) {
    fs::create_directories(outside);
    testsupport::writeFile(outside + "/syslog", "host\n");
    testsupport::writeFile(outside + "/syslog.1", "host\n");
    fs::remove_all(device.host("/private/var/log"));
    fs::create_directory_symlink(link, device.host("/private/var/log"));
    EXPECT_FALSE(files::appendLogRecord("/var/log/syslog", "/var/log/syslog.1", 4, "a record past the limit\n"));
    // Nothing to clear in the device: it may say so or not, as long as nothing outside goes.
    [[maybe_unused]] auto cleared = files::clearLog("/var/log/syslog", "/var/log/syslog.1");
    EXPECT_FALSE(files::writeAtomically(device.host("/var/log/syslog"), "device\n", files::Durability::Flushed));
    EXPECT_FALSE(files::makeDirectories(device.host("/var/log/made")));
    EXPECT_FALSE(files::ExclusiveLock::take(device.host("/var/log/.lock")));
    EXPECT_EQ(entries(outside), (std::vector<std::string>{"syslog", "syslog.1"})) << link;
    EXPECT_EQ(testsupport::readFile(outside + "/syslog") + testsupport::readFile(outside + "/syslog.1"),
              "host\nhost\n");
    fs::remove_all(outside);
  }
  // A lock file that is a link is not followed either.
  testsupport::writeFile(outside + "/victim", "host\n");
  fs::create_symlink(outside + "/victim", target + ".lock");
  auto refused = files::ExclusiveLock::take(target + ".lock");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message(), "cannot lock " + target + ".lock: Too many levels of symbolic links");
  EXPECT_EQ(testsupport::readFile(outside + "/victim"), "host\n");
  // Where the link leads inside the device, writes follow it there.
  fs::remove(device.host("/private/var/log"));
  fs::create_directories(device.host("/elsewhere"));
  fs::create_directory_symlink("/elsewhere", device.host("/private/var/log"));
  EXPECT_TRUE(files::writeAtomically(device.host("/var/log/syslog"), "device\n", files::Durability::Flushed));
  EXPECT_EQ(testsupport::readFile(device.host("/elsewhere/syslog")), "device\n");
  fs::remove_all(outside);
}
