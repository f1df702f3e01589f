#include "platform/libc/Spawn.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <signal.h>
#include <cstring>

#include "platform/libc/Process.h"

using orvane::Error;
using orvane::Result;

namespace libc {
namespace {

/// posix_spawn's file actions, destroyed on every way out.
class FileActions {
 public:
  FileActions() { initialised_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
  ~FileActions() {
    if (initialised_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;

  /// Joins the child's `stream` as asked; false if the action could not be recorded.
  bool redirect(int stream, const Redirection& redirection) {
    switch (redirection.kind) {
      case Redirection::Kind::Inherited: return true;
      case Redirection::Kind::Null:
        return ::posix_spawn_file_actions_addopen(&actions_, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0) == 0;
      case Redirection::Kind::Descriptor:
        return ::posix_spawn_file_actions_adddup2(&actions_, redirection.descriptor, stream) == 0;
    }
    return false;
  }
  bool ok() const { return initialised_; }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
  bool initialised_ = false;
};

/// posix_spawn's attributes, destroyed on every way out: the child's signal
/// mask emptied and SIGPIPE at its default (a server here may ignore it).
class SpawnAttributes {
 public:
  SpawnAttributes() {
    if (::posix_spawnattr_init(&attributes_) != 0) return;
    initialised_ = true;
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    configured_ = ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
                  ::posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
                  ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
  }
  ~SpawnAttributes() {
    if (initialised_) ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;

  bool ok() const { return initialised_ && configured_; }
  const posix_spawnattr_t* get() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
  bool initialised_ = false;
  bool configured_ = false;
};

/// A fresh file: what stands there is removed first, and O_EXCL|O_NOFOLLOW
/// refuse anything planted between the removal and the creation.
int createFresh(const std::string& devicePath) {
  WritePath place(devicePath);
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (::unlink(place.get().c_str()) != 0 && errno != ENOENT) return -1;
    int descriptor = ::open(place.get().c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
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

Result<pid_t> spawn(const std::vector<std::string>& arguments, const SpawnOptions& options) {
  if (arguments.empty()) return Error("no program to run");
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  FileActions actions;
  if (!actions.ok() || !actions.redirect(0, options.input) || !actions.redirect(1, options.output) ||
      !actions.redirect(2, options.errors))
    return Error("cannot prepare the standard streams of " + arguments[0], ENOMEM);
  SpawnAttributes attributes;
  if (!attributes.ok()) return Error("cannot prepare the signals of " + arguments[0], ENOMEM);
  pid_t child = -1;
  int failed = options.lookup == Lookup::SearchPath
                   ? ::posix_spawnp(&child, argv[0], actions.get(), attributes.get(), argv.data(), environment())
                   : ::posix_spawn(&child, argv[0], actions.get(), attributes.get(), argv.data(), environment());
  if (failed) return Error("cannot run " + arguments[0] + ": " + std::strerror(failed), failed);
  return child;
}

Result<Ending> waitFor(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return Error(std::string("cannot wait for a child process: ") + std::strerror(errno), errno);
  Ending ending;
  if (WIFEXITED(status)) ending.exitStatus = WEXITSTATUS(status);
  else ending.signal = WTERMSIG(status);
  return ending;
}

OutputFile runWithOutputFile(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& outputPath, std::size_t maximumLength) {
  OutputFile result;
  int output = createFresh(outputPath);
  if (output < 0) return result;
  std::vector<std::string> command = localCommand(program);
  command.insert(command.end(), arguments.begin(), arguments.end());
  SpawnOptions options;
  options.output = Redirection::to(output);
  options.lookup = Lookup::SearchPath;
  if (command.size() > arguments.size())
    if (auto child = spawn(command, options))
      if (auto ending = waitFor(*child)) result.status = ending->exitStatus;
  result.contents = readBack(output, maximumLength);
  ::close(output);
  return result;
}

}  // namespace libc
