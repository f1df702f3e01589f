#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/device/PathWatch.h"
#include "tests/support/TemporaryDevice.h"

namespace {

namespace fs = std::filesystem;
using testsupport::writeFile;

class PathWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(device.host("/Library/Sounds/Theme"));
    writeFile(file(), "sound");
  }
  std::string file() const { return device.host("/Library/Sounds/Theme/a.wav"); }
  files::WatchStamp watch(const std::string& path, files::Watching watching = files::Watching::Contents) const {
    return files::watchFile(device.root(), path, watching);
  }

  testsupport::TemporaryDevice device;
};

TEST_F(PathWatchTest, EveryWayOfChangingWhatThePathHoldsIsReported) {
  std::string directory = device.host("/Library/Sounds/Theme");
  std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"rewritten in place, same size", [&] { writeFile(file(), "SOUND"); }},
      {"replaced by a rename", [&] {
         writeFile(directory + "/new", "other");
         fs::rename(directory + "/new", file());
       }},
      {"removed", [&] { fs::remove(file()); }},
      {"renamed away", [&] { fs::rename(file(), directory + "/b.wav"); }},
      {"permissions changed", [&] { ::chmod(file().c_str(), 0600); }},
      {"an ancestor renamed", [&] { fs::rename(device.host("/Library/Sounds"), device.host("/Library/Old")); }},
      {"an ancestor replaced by a link", [&] {
         fs::rename(directory, device.host("/Library/Other"));
         fs::create_directory_symlink("../Other", directory);
       }},
  };
  for (auto& [what, change] : changes) {
    SCOPED_TRACE(what);
    fs::remove_all(device.host("/Library"));
    fs::create_directories(directory);
    writeFile(file(), "sound");
    files::WatchStamp stamp = watch(file());
    ASSERT_TRUE(stamp.watched());
    EXPECT_TRUE(files::unchangedSince(stamp));
    change();
    EXPECT_FALSE(files::unchangedSince(stamp));
  }
}

TEST_F(PathWatchTest, AWriteThroughAHardLinkElsewhereIsReported) {
  fs::create_hard_link(file(), device.host("/elsewhere"));
  files::WatchStamp stamp = watch(file());
  EXPECT_TRUE(files::unchangedSince(stamp));
  writeFile(device.host("/elsewhere"), "SOUND");
  EXPECT_FALSE(files::unchangedSince(stamp));
}

TEST_F(PathWatchTest, WhatDoesNotTouchThePathIsPassedOver) {
  files::WatchStamp stamp = watch(file());
  writeFile(device.host("/Library/Sounds/Theme/b.wav"), "another theme");
  fs::create_directories(device.host("/Library/Sounds/More"));
  writeFile(device.host("/Library/unrelated"), "x");
  EXPECT_TRUE(files::unchangedSince(stamp));
}

TEST_F(PathWatchTest, LinksOnTheWayAreFollowedInsideTheDeviceAndWatched) {
  fs::create_directory_symlink("/Library/Sounds", device.host("/Sounds"));
  std::string linked = device.host("/Sounds/Theme/a.wav");
  files::WatchStamp stamp = watch(linked);
  ASSERT_TRUE(stamp.watched());
  writeFile(device.host("/Library/Sounds/Theme/b.wav"), "another theme");
  EXPECT_TRUE(files::unchangedSince(stamp));
  writeFile(file(), "SOUND");
  EXPECT_FALSE(files::unchangedSince(stamp));

  // The link itself pointed elsewhere.
  stamp = watch(linked);
  fs::create_directories(device.host("/Other/Theme"));
  writeFile(device.host("/Other/Theme/a.wav"), "other");
  fs::remove(device.host("/Sounds"));
  fs::create_directory_symlink("/Other", device.host("/Sounds"));
  EXPECT_FALSE(files::unchangedSince(stamp));
}

TEST_F(PathWatchTest, ANameWatchIgnoresWritesButNotARename) {
  files::WatchStamp stamp = watch(file(), files::Watching::Name);
  ASSERT_TRUE(stamp.watched());
  writeFile(file(), "appended and rewritten");
  EXPECT_TRUE(files::unchangedSince(stamp));
  fs::rename(file(), device.host("/Library/Sounds/Theme/a.1.wav"));
  EXPECT_FALSE(files::unchangedSince(stamp));
}

TEST_F(PathWatchTest, WhatCannotBeWatchedIsNeverTakenAsUnchanged) {
  EXPECT_FALSE(watch(device.host("/Library/Sounds/Theme/missing.wav")).watched());
  EXPECT_FALSE(watch(device.host("/Library/Sounds/Theme")).watched());
  EXPECT_FALSE(watch("/etc/hostname").watched());
  ::mkfifo(device.host("/Library/fifo").c_str(), 0600);
  EXPECT_FALSE(watch(device.host("/Library/fifo")).watched());
  fs::create_symlink("loop", device.host("/Library/loop"));
  EXPECT_FALSE(watch(device.host("/Library/loop")).watched());
  fs::create_symlink("Sounds/Theme/..", device.host("/Library/up"));
  EXPECT_FALSE(watch(device.host("/Library/up")).watched()) << "a link to a directory";
  EXPECT_FALSE(files::unchangedSince(files::WatchStamp{}));
}

TEST_F(PathWatchTest, AForkedChildTrustsNoStampOfItsParent) {
  files::WatchStamp stamp = watch(file());
  pid_t child = fork();
  if (child == 0) _exit(files::unchangedSince(stamp) ? 1 : 0);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // The child read nothing from the parent's queue.
  writeFile(file(), "SOUND");
  EXPECT_FALSE(files::unchangedSince(stamp));
}

}  // namespace
