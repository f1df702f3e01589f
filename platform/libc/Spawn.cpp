#include "platform/libc/Spawn.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/libc/Process.h"

namespace libc {
namespace {

/// A fresh file: what stands there is removed first, and O_EXCL|O_NOFOLLOW
/// refuse anything planted between the removal and the creation.
int createFresh(const std::string& hostPath) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (::unlink(hostPath.c_str()) != 0 && errno != ENOENT) return -1;
    int descriptor = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

/// The file's bytes from its start, through the descriptor; none past `maximumLength`.
std::optional<std::string> readBack(int descriptor, std::size_t maximumLength) {
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (static_cast<unsigned long long>(info.st_size) > maximumLength) return std::nullopt;
  std::string contents;
  char buffer[65536];
  for (off_t offset = 0;;) {
    ssize_t got = ::pread(descriptor, buffer, sizeof buffer, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) return contents;
    if (contents.size() + static_cast<std::size_t>(got) > maximumLength) return std::nullopt;
    contents.append(buffer, static_cast<std::size_t>(got));
    offset += got;
  }
}

}  // namespace

OutputFile runWithOutputFile(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& outputPath, std::size_t maximumLength) {
  OutputFile result;
  int output = createFresh(localPath(outputPath));
  if (output < 0) return result;
  std::string executable = localPath(program);
  std::vector<char*> argv = {executable.data()};
  std::vector<std::string> copies = arguments;
  for (auto& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  pid_t child = -1;
  int failed = posix_spawn(&child, executable.c_str(), &actions, nullptr, argv.data(), environment());
  posix_spawn_file_actions_destroy(&actions);
  if (!failed) {
    int status = 0;
    int waited = 0;
    while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited == child && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  }
  result.contents = readBack(output, maximumLength);
  ::close(output);
  return result;
}

}  // namespace libc
