#include "tests/support/Simulator.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "sim/common/Package.h"
#include "tests/support/TemporaryDevice.h"

extern char** environ;

namespace testsupport {

SimResult runSim(const std::string& simulator, const std::string& root, std::vector<std::string> words) {
  std::string errors = root + ".stderr";
  words.insert(words.begin(), {simulator, "--device", root});
  std::vector<std::string> shell = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>\"$ERRORS\""};
  shell.insert(shell.end(), words.begin(), words.end());
  setenv("ERRORS", errors.c_str(), 1);
  SimResult result;
  result.status = package::run(shell, &result.out);
  result.err = readFile(errors);
  return result;
}

bool SpringBoardProcess::start(const std::string& simulator, const std::string& root) {
  std::vector<std::string> words = {simulator, "--device", root, "springboard"};
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, simulator.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
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
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace testsupport
