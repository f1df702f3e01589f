#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "platform/device/FileUtilities.h"
#include "tests/support/TemporaryDevice.h"

using testsupport::writeFile;

namespace {

constexpr const char* preferences = "/var/mobile/Library/Preferences/com.quillmark.orvane.plist";
constexpr std::size_t limit = 1 << 20;

/// Not there at all, as against there but refused.
bool absent(const orvane::Result<std::string>& read) { return !read && read.error().code() == ENOENT; }

}  // namespace

TEST(DeviceFile, ReadsThroughTheDevicesOwnLinks) {
  testsupport::TemporaryDevice device;
  writeFile(device.host("/private/var/mobile/Library/Preferences/com.quillmark.orvane.plist"), "contents");
  for (const char* path : {preferences, "/User/Library/Preferences/com.quillmark.orvane.plist",
                           "/var/mobile//Library/Preferences/com.quillmark.orvane.plist", "/../../var/mobile/../mobile/"
                                                                                           "Library/Preferences/com.quillmark.orvane.plist"}) {
    auto read = files::readDeviceFile(path, limit);
    ASSERT_TRUE(read) << path << ": " << read.error().message();
    EXPECT_EQ(*read, "contents") << path;
  }
  auto missing = files::readDeviceFile("/no/such/file", limit);
  EXPECT_TRUE(absent(missing));
  EXPECT_EQ(missing.error().message(), "it does not exist");
}

TEST(DeviceFile, NothingOutsideTheDeviceIsRead) {
  testsupport::TemporaryDevice device;
  std::string outside = device.root() + "-outside";
  writeFile(outside, "secret");
  std::string host = device.host("/private" + std::string(preferences));
  // An absolute link, a relative one climbing out, and one through a linked directory.
  for (const std::string& target : {outside, "../../../../../../../../../../../.." + outside}) {
    std::filesystem::remove(host);
    ASSERT_EQ(symlink(target.c_str(), host.c_str()), 0);
    auto read = files::readDeviceFile(preferences, limit);
    EXPECT_FALSE(read) << target;
  }
  std::filesystem::remove(host);
  ASSERT_EQ(symlink(std::filesystem::path(outside).parent_path().c_str(), device.host("/Library/escape").c_str()), 0);
  auto read = files::readDeviceFile("/Library/escape/" + std::filesystem::path(outside).filename().string(), limit);
  EXPECT_FALSE(read);
  std::filesystem::remove(outside);
}

TEST(DeviceFile, WhatIsNoRegularFileOrTooLargeIsRefusedWithoutWaiting) {
  testsupport::TemporaryDevice device;
  std::string host = device.host("/private" + std::string(preferences));
  auto refusedQuickly = [&](const char* what) {
    auto start = std::chrono::steady_clock::now();
    auto read = files::readDeviceFile(preferences, limit);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << what;
    EXPECT_FALSE(read) << what;
    std::filesystem::remove_all(host);
    return read ? orvane::Error("read") : read.error();
  };
  ASSERT_EQ(mkfifo(host.c_str(), 0644), 0);
  EXPECT_EQ(refusedQuickly("a FIFO").message(), "it is not a regular file");
  std::filesystem::create_directory(host);
  EXPECT_NE(refusedQuickly("a directory").code(), ENOENT);
  ASSERT_EQ(symlink("nowhere", host.c_str()), 0);
  EXPECT_EQ(refusedQuickly("a dangling link").code(), ENOENT);
  int sparse = open(host.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(sparse, 0);
  ASSERT_EQ(ftruncate(sparse, off_t{1} << 30), 0);
  close(sparse);
  EXPECT_EQ(refusedQuickly("a 1 GB sparse file").message(), "it is larger than 1048576 bytes");

  writeFile(host, std::string(limit, 'x'));
  EXPECT_EQ(files::readDeviceFile(preferences, limit).value_or("").size(), limit) << "a file of exactly the limit";
  writeFile(host, std::string(limit + 1, 'x'));
  auto larger = files::readDeviceFile(preferences, limit);
  EXPECT_FALSE(larger);
  EXPECT_FALSE(absent(larger));
}

TEST(DeviceFile, AFileThatCannotBeOpenedIsUnreadable) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  testsupport::TemporaryDevice device;
  std::string host = device.host("/private" + std::string(preferences));
  writeFile(host, "contents");
  chmod(host.c_str(), 0);
  auto read = files::readDeviceFile(preferences, limit);
  ASSERT_FALSE(read);
  EXPECT_FALSE(absent(read));
  EXPECT_EQ(read.error().message(), "Permission denied");
}

TEST(DeviceFile, FilesOfEachSizeAroundTheReadsAreReadWhole) {
  testsupport::TemporaryDevice device;
  std::string host = device.host("/private" + std::string(preferences));
  for (std::size_t size : {0, 1, 4095, 4096, 4097, 8193}) {
    std::string contents(size, '\0');
    for (std::size_t i = 0; i < size; ++i) contents[i] = static_cast<char>('a' + i % 26);
    writeFile(host, contents);
    auto read = files::readDeviceFile(preferences, limit);
    ASSERT_TRUE(read) << size;
    EXPECT_EQ(*read, contents) << size;
  }
}
