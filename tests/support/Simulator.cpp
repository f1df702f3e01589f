#include "tests/support/Simulator.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "sim/common/Package.h"
#include "tests/support/TemporaryDevice.h"

extern char** environ;

namespace testsupport {

SimResult runSim(const std::string& simulator, const std::string& root, std::vector<std::string> words,
                 const std::vector<std::string>& wrapper) {
  std::string errors = root + ".stderr";
  words.insert(words.begin(), {simulator, "--device", root});
  words.insert(words.begin(), wrapper.begin(), wrapper.end());
  std::vector<std::string> shell = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>\"$ERRORS\""};
  shell.insert(shell.end(), words.begin(), words.end());
  setenv("ERRORS", errors.c_str(), 1);
  SimResult result;
  result.status = package::run(shell, &result.out);
  result.err = readFile(errors);
  return result;
}

pid_t startSim(const std::string& simulator, const std::string& root, std::vector<std::string> words) {
  words.insert(words.begin(), {simulator, "--device", root});
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int failed = posix_spawn(&pid, simulator.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed ? -1 : pid;
}

int waitSim(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
