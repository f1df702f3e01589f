// SpringBoard in the background: springboard --detach, stop and respring, as
// users drive them, and what the running SpringBoard tells about itself.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/device/Device.h"
#include "sim/common/RunningSpringBoard.h"
#include "tests/support/SimDeviceTest.h"

namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
namespace fs = std::filesystem;

constexpr const char* hookLibrary = "/Library/MobileSubstrate/DynamicLibraries/Orvane.dylib";

class SpringBoardLife : public testsupport::SimDeviceTest {
 protected:
  // A SpringBoard left running by a failed case would outlive the test.
  void TearDown() override { [[maybe_unused]] auto stopped = springboard::stop(); }

  static pid_t pidIn(const std::string& text) {
    auto at = text.find("(pid ");
    return at == std::string::npos ? -1 : std::stoi(text.substr(at + 5));
  }

  // Gone, or a zombie that nobody in this container reaps.
  static bool ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    auto state = line.rfind(')');
    return state != std::string::npos && line.size() > state + 2 && line[state + 2] == 'Z';
  }

  std::string pidFile() { return testsupport::readFile(root + springboard::kPidFilePath); }
};

TEST_F(SpringBoardLife, DetachedSpringBoardTakesPressesAtOnceSurvivesRespringAndStops) {
  ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "true"}).status, 0);
  auto detached = sim({"springboard", "--detach"});
  ASSERT_EQ(detached.status, 0) << detached.err;
  pid_t first = pidIn(detached.out);
  ASSERT_GT(first, 0) << detached.out;
  // Ready means ready: the first press needs no retry.
  EXPECT_EQ(sim({"press", "up"}).status, 0);
  EXPECT_EQ(pidFile(), std::to_string(first) + "\n");
  auto running = springboard::runningPid();
  ASSERT_TRUE(running) << running.error().message();
  EXPECT_EQ(*running, first);

  auto again = sim({"springboard", "--detach"});
  EXPECT_EQ(again.status, 1);
  EXPECT_THAT(again.err, HasSubstr("already running"));
  EXPECT_THAT(again.err, HasSubstr(std::to_string(first)));

  auto respring = sim({"respring"});
  ASSERT_EQ(respring.status, 0) << respring.err;
  pid_t second = pidIn(respring.out);
  ASSERT_GT(second, 0) << respring.out;
  EXPECT_NE(second, first);
  EXPECT_TRUE(ended(first)) << "the SpringBoard before the respring still runs";
  EXPECT_EQ(sim({"press", "down"}).status, 0) << "a press after the respring";
  auto log = sim({"log"});
  EXPECT_EQ(std::count(log.out.begin(), log.out.end(), '\n'), 2) << log.out;

  // The substrate's notices reach the device's system log, from each SpringBoard.
  auto syslog = sim({"syslog"});
  for (pid_t pid : {first, second})
    EXPECT_THAT(syslog.out, HasSubstr("SpringBoard[" + std::to_string(pid) + "]: MS:Notice: Loading: " + hookLibrary));

  auto stop = sim({"stop"});
  EXPECT_EQ(stop.status, 0) << stop.err;
  EXPECT_THAT(stop.out, HasSubstr("SpringBoard stopped (pid " + std::to_string(second) + ")"));
  EXPECT_TRUE(ended(second));
  EXPECT_NE(sim({"status"}).status, 0);
  EXPECT_FALSE(fs::exists(root + springboard::kPidFilePath)) << "a stopped SpringBoard removes its pid file";

  auto none = sim({"stop"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("SpringBoard is not running on " + root));

  // respring with none running starts one.
  auto started = sim({"respring"});
  EXPECT_EQ(started.status, 0) << started.err;
  EXPECT_THAT(started.out, HasSubstr("was not running"));
  EXPECT_EQ(sim({"press", "up"}).status, 0);
}

TEST_F(SpringBoardLife, StopBelievesTheButtonSocketNeverAStalePidFile) {
  // A pid file naming a live process (this test) while no SpringBoard runs.
  testsupport::writeFile(root + springboard::kPidFilePath, std::to_string(getpid()) + "\n");
  auto stop = sim({"stop"});
  EXPECT_EQ(stop.status, 1);
  EXPECT_THAT(stop.err, HasSubstr("not running"));

  // A SpringBoard in the foreground ends as with Ctrl-C, and cleanly.
  testsupport::SpringBoardProcess foreground;
  ASSERT_TRUE(foreground.start(ORVANE_SIM, root));
  std::optional<pid_t> pid = springboard::runningPid().value_or(std::nullopt);
  ASSERT_TRUE(pid);
  // Its socket answers while it still loads extensions; the pid file comes once it takes presses.
  for (auto deadline = std::chrono::steady_clock::now() + 5s;
       pidFile() != std::to_string(*pid) + "\n" && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(pidFile(), std::to_string(*pid) + "\n") << "the stale pid file is replaced";
  EXPECT_EQ(sim({"stop"}).status, 0);
  int status = 0;
  ASSERT_EQ(waitpid(*pid, &status, 0), *pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST_F(SpringBoardLife, ASpringBoardKilledAMomentAgoIsNotRunningAndTheNextOneStarts) {
  // A killed SpringBoard holds its button socket until its end has closed it.
  // Inside that moment, every other round asks whether one runs, as
  // `springboard --detach` does, and the others start the next one at once.
  pid_t killed = -1;
  for (int round = 0; round < 20; ++round) {
    auto started = springboard::startDetached({});
    ASSERT_TRUE(started) << "round " << round << ": " << started.error().message();
    if (killed > 0) ::waitpid(killed, nullptr, 0);
    ASSERT_EQ(::kill(*started, SIGKILL), 0);
    killed = *started;
    if (round % 2 == 1) continue;
    auto running = springboard::runningPid();
    ASSERT_TRUE(running) << running.error().message();
    ASSERT_EQ(*running, std::nullopt) << "round " << round << ": the killed SpringBoard counts as running";
  }
  ::waitpid(killed, nullptr, 0);

  // The same through the command, its SpringBoard killed as a user would.
  for (int round = 0; round < 3; ++round) {
    auto detached = sim({"springboard", "--detach"});
    ASSERT_EQ(detached.status, 0) << "round " << round << ": " << detached.err;
    ASSERT_EQ(::kill(pidIn(detached.out), SIGKILL), 0);
  }
  auto last = sim({"springboard", "--detach"});
  EXPECT_EQ(last.status, 0) << last.err;
  EXPECT_EQ(sim({"press", "up"}).status, 0);
}

TEST_F(SpringBoardLife, TellsWhetherTheMappedHookLibraryIsStillTheInstalledOne) {
  ASSERT_EQ(sim({"springboard", "--detach"}).status, 0);
  std::optional<pid_t> pid = springboard::runningPid().value_or(std::nullopt);
  ASSERT_TRUE(pid);
  auto mapped = springboard::mappedLibrary(*pid, hookLibrary);
  ASSERT_TRUE(mapped);
  EXPECT_FALSE(mapped->stale);
  struct stat installedFile {};
  ASSERT_EQ(::stat((root + hookLibrary).c_str(), &installedFile), 0);
  EXPECT_EQ(mapped->file.inode, installedFile.st_ino);

  // Replaced as dpkg replaces it: a new file renamed over the old one.
  std::string installed = root + hookLibrary;
  fs::copy_file(installed, installed + ".new");
  fs::rename(installed + ".new", installed);
  mapped = springboard::mappedLibrary(*pid, hookLibrary);
  ASSERT_TRUE(mapped);
  EXPECT_TRUE(mapped->stale);
  EXPECT_TRUE(mapped->file.deleted);
  EXPECT_FALSE(springboard::mappedLibrary(*pid, "/Library/MobileSubstrate/DynamicLibraries/Other.dylib"));
}

}  // namespace
