#include "tests/support/Simulator.h"

#include <signal.h>

#include <chrono>
#include <thread>

#include "platform/libc/Run.h"
#include "platform/libc/Spawn.h"

namespace testsupport {

SimResult runSim(const std::string& simulator, const std::string& root, std::vector<std::string> words,
                 const std::vector<std::string>& wrapper) {
  words.insert(words.begin(), {simulator, "--device", root});
  words.insert(words.begin(), wrapper.begin(), wrapper.end());
  SimResult result{-1, "", ""};
  auto ran = libc::run(words, libc::ErrorStream::Captured);
  if (!ran) {
    result.err = ran.error().message();
    return result;
  }
  result.status = ran->status;
  result.out = std::move(ran->output);
  result.err = std::move(ran->errors);
  return result;
}

pid_t startSim(const std::string& simulator, const std::string& root, std::vector<std::string> words) {
  words.insert(words.begin(), {simulator, "--device", root});
  libc::SpawnOptions quiet;
  quiet.output = quiet.errors = libc::Redirection::null();
  return libc::spawn(words, quiet).value_or(-1);
}

int waitSim(pid_t pid) {
  auto ending = libc::waitFor(pid);
  if (!ending) return -1;
  return ending->signal ? 128 + ending->signal : ending->exitStatus;
}

bool SpringBoardProcess::start(const std::string& simulator, const std::string& root) {
  auto started = libc::spawn({simulator, "--device", root, "springboard"});
  if (!started) return false;
  pid_ = *started;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (runSim(simulator, root, {"status"}).status != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void SpringBoardProcess::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  (void)libc::waitFor(pid_);
  pid_ = -1;
}

}  // namespace testsupport
