#include "platform/libc/Spawn.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/device/Device.h"

extern char** environ;

namespace libc {
namespace {

/// A fresh file: what stands there is removed first, and O_EXCL|O_NOFOLLOW
/// refuse anything planted between the removal and the creation.
int createFresh(const std::string& hostPath) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (::unlink(hostPath.c_str()) != 0 && errno != ENOENT) return -1;
    int descriptor = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

}  // namespace

int runWithOutputFile(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& outputPath) {
  int output = createFresh(device::hostPath(outputPath));
  if (output < 0) return -1;
  std::string executable = device::hostPath(program);
  std::vector<char*> argv = {executable.data()};
  std::vector<std::string> copies = arguments;
  for (auto& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  pid_t child = -1;
  int failed = posix_spawn(&child, executable.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(output);
  if (failed) return -1;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace libc
