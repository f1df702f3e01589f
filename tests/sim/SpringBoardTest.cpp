// SpringBoard against clients and neighbours that misbehave: a client that
// never reads its replies, junk in the notify registry, and storms of posts.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "contract/Orvane.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/corefoundation/NotifyRegistry.h"
#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "sim/common/PressChannel.h"
#include "tests/support/SimDeviceTest.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

class SpringBoardTest : public testsupport::SimDeviceTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(init());
    startSpringBoard();
  }

  bool alive() { return sim({"status"}).status == 0; }

  std::string registry() { return root + "/var/run/notify"; }

  // SpringBoard is the only process of the device that observes, so the only entry at first.
  // SpringBoard may still be registering when it answers its first press, so look for a while.
  std::string springBoardEntry() {
    for (auto deadline = Clock::now() + 5s; Clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
      std::error_code error;
      for (fs::directory_iterator entry(registry(), error), end; !error && entry != end; entry.increment(error))
        if (!entry->path().filename().string().starts_with(".")) return entry->path().filename();
    }
    return {};
  }

  long residentKilobytes(const std::string& pid) {
    std::ifstream status("/proc/" + pid + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
  }
};

void writePreferences(const std::string& increaseSound) {
  auto preferences = NSMutableDictionary::dictionary();
  preferences->setObject_forKey(NSNumber::numberWithBool(true).get(), "isEnabled");
  preferences->setObject_forKey(NSString::stringWithUTF8String(increaseSound).get(), "selectedIncreaseSound");
  ASSERT_TRUE(preferences->writeToFile_atomically(
      NSSTR(orvane::contract::preferencesPath), true));
}

void postSettingsChanged() {
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                       NSSTR(orvane::contract::settingsChanged), nullptr, nullptr, true);
}

TEST_F(SpringBoardTest, AClientThatNeverReadsItsRepliesIsDroppedWhileOthersAreAnswered) {
  auto connection = pressing::connect();
  ASSERT_TRUE(connection) << connection.error().message();
  int stalled = *connection;
  // Presses until SpringBoard gives up on the replies piling up unread.
  bool dropped = false;
  for (auto deadline = Clock::now() + 5s; !dropped && Clock::now() < deadline;) {
    if (::send(stalled, "up", 2, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) continue;
    if (errno == EAGAIN)
      std::this_thread::sleep_for(1ms);
    else
      dropped = true;
  }
  EXPECT_TRUE(dropped) << "SpringBoard still holds a client that reads nothing";

  auto presses = std::async(std::launch::async, [] {
    auto presser = pressing::Presser::connect();
    int answered = 0;
    for (int i = 0; presser && i < 200; ++i) answered += presser->press(i % 2 ? "up" : "down").has_value();
    return answered;
  });
  if (presses.wait_for(5s) != std::future_status::ready) {
    ADD_FAILURE() << "presses of a second client are not answered";
    springboard.stop();
  }
  EXPECT_EQ(presses.get(), 200);
  ::close(stalled);
}

TEST_F(SpringBoardTest, JunkInTheNotifyRegistryAndGarbageDatagramsAreIgnored) {
  ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "true"}).status, 0);
  std::string token = springBoardEntry();
  ASSERT_FALSE(token.empty());
  std::string entry = registry() + "/" + token;
  auto entrySize = fs::file_size(entry);

  // A copy of SpringBoard's entry whose process is gone, one overwritten, and things that are no entries at all.
  fs::copy_file(entry, registry() + "/1-0000dead");
  testsupport::writeFile(registry() + "/2-0000beef", std::string(entrySize, '\xff'));
  testsupport::writeFile(registry() + "/3-short", "not an entry");
  testsupport::writeFile(registry() + "/.generation", "?");
  ASSERT_EQ(::mkfifo((registry() + "/4-fifo").c_str(), 0644), 0);
  fs::create_directory(registry() + "/5-directory");
  fs::create_symlink("/nonexistent", registry() + "/6-dangling");
  fs::create_symlink("/etc/passwd", registry() + "/7-outside");
  int stale = ::socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un path{};
  path.sun_family = AF_UNIX;
  std::string socketPath = registry() + "/8-socket";
  ASSERT_LT(socketPath.size(), sizeof path.sun_path);
  std::memcpy(path.sun_path, socketPath.c_str(), socketPath.size());
  ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&path), sizeof path), 0);
  ::close(stale);

  sockaddr_un doorbell;
  socklen_t length;
  ASSERT_TRUE(notify::doorbellAddress(token, doorbell, length));
  int sender = ::socket(AF_UNIX, SOCK_DGRAM, 0);
  std::mt19937 random(8);
  for (int i = 0; i < 2000; ++i) {
    std::string garbage(random() % 4096, '\0');
    for (char& byte : garbage) byte = static_cast<char>(random());
    ::sendto(sender, garbage.data(), garbage.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&doorbell), length);
  }
  // A datagram carrying a descriptor, which SpringBoard must not keep.
  char byte = 0;
  iovec part{&byte, 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_name = &doorbell;
  message.msg_namelen = length;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(header), &sender, sizeof sender);
  EXPECT_EQ(::sendmsg(sender, &message, 0), 1);
  ::close(sender);

  ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", "Chime"}).status, 0);
  // The reload comes after the garbage queued before it: press until it has landed.
  auto deadline = Clock::now() + 5s;
  do ASSERT_EQ(sim({"press", "up"}).status, 0);
  while (sim({"log"}).out.find("Chime.wav") == std::string::npos && Clock::now() < deadline);
  EXPECT_TRUE(alive());
  EXPECT_NE(sim({"log"}).out.find("Chime.wav"), std::string::npos);
  EXPECT_FALSE(fs::exists(registry() + "/1-0000dead")) << "an entry whose process is gone stays";
  EXPECT_TRUE(fs::exists("/etc/passwd"));
  EXPECT_EQ(fs::file_size(entry), entrySize);
}

TEST_F(SpringBoardTest, AHundredThousandPostsWhilePressingLeaveTheLastValueAndMemoryBounded) {
  std::string pid = springBoardEntry();
  ASSERT_FALSE(pid.empty());
  pid = pid.substr(0, pid.find('-'));
  const char* themes[] = {"Click", "Chime", "Glass", "Tick"};
  // Each theme heard once first: what SpringBoard keeps per theme is not what a storm may add.
  for (const char* theme : {"Click", "Chime", "Glass", "Tick", "Drop"}) {
    writePreferences(theme);
    postSettingsChanged();
    auto deadline = Clock::now() + 5s;
    do ASSERT_EQ(sim({"press", "up"}).status, 0);
    while (sim({"log"}).out.rfind(std::string(theme) + ".wav") == std::string::npos && Clock::now() < deadline);
  }
  std::this_thread::sleep_for(300ms);
  long before = residentKilobytes(pid);

  std::atomic<bool> storming = true;
  std::atomic<int> presses = 0;
  std::thread presser([&] {
    auto channel = pressing::Presser::connect();
    while (channel && storming && channel->press(presses % 2 ? "up" : "down")) ++presses;
  });
  long halfway = 0;
  for (int i = 0; i < 100000; ++i) {
    if (i % 1000 == 0) writePreferences(themes[(i / 1000) % 4]);
    postSettingsChanged();
    if (i == 50000) halfway = residentKilobytes(pid);
  }
  writePreferences("Drop");
  postSettingsChanged();
  storming = false;
  presser.join();
  EXPECT_GT(presses, 0);
  EXPECT_TRUE(alive());

  // The last write wins, and stays.
  auto heard = [&] {
    std::string log = sim({"log"}).out;
    return log.substr(log.rfind("\n", log.size() - 2) + 1);
  };
  auto deadline = Clock::now() + 5s;
  do ASSERT_EQ(sim({"press", "up"}).status, 0);
  while (heard().find("Drop.wav") == std::string::npos && Clock::now() < deadline);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(sim({"press", "up"}).status, 0);
    EXPECT_NE(heard().find("Drop.wav"), std::string::npos) << heard();
  }
  std::this_thread::sleep_for(300ms);
  long after = residentKilobytes(pid);
  RecordProperty("rss_growth_kib", std::to_string(after - before));
  RecordProperty("rss_growth_second_half_kib", std::to_string(after - halfway));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // Threads may take malloc arenas early in the storm; later it must stay flat.
  EXPECT_LT(after - before, 32 * 1024) << "SpringBoard grew from " << before << " KiB to " << after << " KiB";
  EXPECT_LT(after - halfway, 4 * 1024) << "SpringBoard grew from " << halfway << " KiB to " << after << " KiB";
#endif
}

}  // namespace
