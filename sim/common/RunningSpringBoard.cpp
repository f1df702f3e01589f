#include "sim/common/RunningSpringBoard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/libc/Spawn.h"
#include "sim/common/Package.h"
#include "sim/common/PressChannel.h"

namespace springboard {
namespace {

constexpr auto kReadyWithin = std::chrono::seconds(30);
constexpr auto kAnswerWithin = std::chrono::seconds(5);

// Through the system calls: the C library's declarations of these lack C linkage.
int openProcess(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }
int signalProcess(int processDescriptor, int signal) {
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, processDescriptor, signal, nullptr, 0));
}

/// The running SpringBoard as a process descriptor, so that a pid reused
/// meanwhile is never signalled; -1 with pid -1 when none runs.
struct Handle {
  pid_t pid = -1;
  int descriptor = -1;
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (descriptor >= 0) ::close(descriptor);
  }
};

bool awaitEnd(int processDescriptor, std::chrono::milliseconds patience) {
  pollfd watched{processDescriptor, POLLIN, 0};
  for (;;) {
    int ready = ::poll(&watched, 1, static_cast<int>(patience.count()));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

/// Whether the process behind a connection to the button socket is a live
/// SpringBoard: one killed a moment ago holds its socket, and takes
/// connections into its queue, until its end has closed it. So it is asked
/// for the volume, and counts as running once it answers, or, never having
/// answered, while it has neither ended nor let go of the connection
/// (a SpringBoard still loading its extensions, or stopped, answers late).
bool answers(int connection, int processDescriptor) {
  // Unsent, the question goes unanswered: the end of the process or of the connection still tells.
  [[maybe_unused]] ssize_t sent = ::send(connection, "volume", 6, MSG_NOSIGNAL | MSG_DONTWAIT);
  pollfd watched[] = {{connection, POLLIN | POLLRDHUP, 0}, {processDescriptor, POLLIN, 0}};
  for (;;) {
    int ready = ::poll(watched, 2, static_cast<int>(std::chrono::milliseconds(kAnswerWithin).count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return ready == 0;
    if (watched[1].revents) return false;
    char reply[64];
    return !(watched[0].revents & (POLLHUP | POLLRDHUP | POLLERR)) &&
           ::recv(connection, reply, sizeof reply, MSG_DONTWAIT) > 0;
  }
}

/// Fills `handle` when a SpringBoard runs; an error when that cannot be told.
orvane::Result<void> findRunning(Handle& handle) {
  auto connection = pressing::connect();
  if (!connection) {
    if (connection.error().code() == ECONNREFUSED) return orvane::success();
    return connection.error();
  }
  orvane::Result<void> found = orvane::success();
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(*connection, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || credentials.pid <= 0) {
    found = orvane::Error(std::string("cannot tell SpringBoard's process: ") + std::strerror(errno), errno);
  } else if (int descriptor = openProcess(credentials.pid); descriptor >= 0) {
    // Answering after the descriptor was opened, so that pid has not ended and been reused meanwhile.
    if (answers(*connection, descriptor)) {
      handle.pid = credentials.pid;
      handle.descriptor = descriptor;
    } else {
      // Ending: once it has, its socket is free for the next SpringBoard.
      awaitEnd(descriptor, kAnswerWithin);
      ::close(descriptor);
    }
  } else if (errno != ESRCH) {
    found = orvane::Error(std::string("cannot reach SpringBoard's process: ") + std::strerror(errno), errno);
  }
  ::close(*connection);
  return found;
}

void removePidFile(pid_t pid) {
  std::string path = device::hostPath(kPidFilePath);
  auto contents = files::readDeviceFile(kPidFilePath, 64);
  if (contents && *contents == std::to_string(pid) + "\n") ::unlink(files::Place(path).path().c_str());
}

}  // namespace

orvane::Result<std::optional<pid_t>> runningPid() {
  Handle handle;
  if (auto found = findRunning(handle); !found) return found.error();
  if (handle.pid < 0) return std::optional<pid_t>();
  return std::optional<pid_t>(handle.pid);
}

orvane::Result<pid_t> startDetached(const std::vector<std::string>& options) {
  std::vector<std::string> words = {package::executableDirectory() + "/SpringBoard", "--detached"};
  words.insert(words.end(), options.begin(), options.end());
  int ready[2] = {-1, -1};
  if (::pipe2(ready, O_CLOEXEC) != 0) return orvane::Error(std::string("cannot make a pipe: ") + std::strerror(errno), errno);
  // Its standard output says when it is ready; its errors are ours until then.
  libc::SpawnOptions streams;
  streams.input = libc::Redirection::null();
  streams.output = libc::Redirection::to(ready[1]);
  auto started = libc::spawn(words, streams);
  ::close(ready[1]);
  if (!started) {
    ::close(ready[0]);
    return started.error();
  }
  pid_t pid = *started;
  std::string said;
  bool late = false;
  auto deadline = std::chrono::steady_clock::now() + kReadyWithin;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd watched{ready[0], POLLIN, 0};
    int polled = ::poll(&watched, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) {
      late = polled == 0;
      break;
    }
    char buffer[512];
    ssize_t got = ::read(ready[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    // Only the last words matter; what came before is its greeting.
    said.append(buffer, static_cast<std::size_t>(got));
    if (said.size() > 4096) said.erase(0, said.size() - 64);
  }
  ::close(ready[0]);
  if (said.ends_with("ready\n")) return pid;
  if (late) ::kill(pid, SIGKILL);
  [[maybe_unused]] auto ended = libc::waitFor(pid);
  if (late)
    return orvane::Error("SpringBoard did not take presses within " + std::to_string(kReadyWithin.count()) + " s; stopped it");
  return orvane::Error("SpringBoard did not start");
}

orvane::Result<Stopped> stop(std::chrono::milliseconds patience) {
  Stopped stopped;
  Handle handle;
  if (auto found = findRunning(handle); !found) return found.error();
  if (handle.pid < 0) return stopped;
  stopped.pid = handle.pid;
  if (signalProcess(handle.descriptor, SIGTERM) != 0 && errno != ESRCH)
    return orvane::Error("cannot stop SpringBoard (pid " + std::to_string(handle.pid) + "): " + std::strerror(errno), errno);
  if (!awaitEnd(handle.descriptor, patience)) {
    signalProcess(handle.descriptor, SIGKILL);
    stopped.killed = true;
    if (!awaitEnd(handle.descriptor, std::chrono::seconds(5)))
      return orvane::Error("SpringBoard (pid " + std::to_string(handle.pid) + ") does not end");
  }
  // One that was killed could not remove its pid file itself.
  removePidFile(handle.pid);
  return stopped;
}

std::vector<std::string> options(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::vector<std::string> words;
  for (std::string word; std::getline(file, word, '\0');) words.push_back(word);
  std::vector<std::string> kept;
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i] != "--detached") kept.push_back(words[i]);
  }
  return kept;
}

std::vector<MappedFile> mappedFiles(pid_t pid) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::vector<MappedFile> files;
  for (std::string line; std::getline(maps, line);) {
    // address permissions offset major:minor inode path
    std::istringstream fields(line);
    std::string address, permissions, offset, deviceNumbers;
    unsigned long long inode = 0;
    if (!(fields >> address >> permissions >> offset >> deviceNumbers >> inode) || inode == 0) continue;
    std::string path;
    std::getline(fields >> std::ws, path);
    if (path.empty() || path[0] != '/') continue;
    MappedFile file;
    constexpr std::string_view deletedMark = " (deleted)";
    if (path.ends_with(deletedMark)) {
      file.deleted = true;
      path.resize(path.size() - deletedMark.size());
    }
    unsigned major = 0, minor = 0;
    if (std::sscanf(deviceNumbers.c_str(), "%x:%x", &major, &minor) != 2) continue;
    file.path = path;
    file.device = makedev(major, minor);
    file.inode = static_cast<ino_t>(inode);
    bool seen = false;
    for (const MappedFile& other : files) seen = seen || (other.path == file.path && other.inode == file.inode);
    if (!seen) files.push_back(std::move(file));
  }
  return files;
}

std::optional<MappedLibrary> mappedLibrary(pid_t pid, const std::string& devicePath) {
  std::error_code error;
  std::string path = std::filesystem::weakly_canonical(device::hostPath(devicePath), error).string();
  if (error) return std::nullopt;
  for (MappedFile& file : mappedFiles(pid)) {
    if (file.path != path) continue;
    // By inode alone: on layered file systems the mapping may name the device of the layer below.
    struct stat now {};
    bool same = !file.deleted && ::stat(path.c_str(), &now) == 0 && now.st_ino == file.inode;
    return MappedLibrary{std::move(file), !same};
  }
  return std::nullopt;
}

}  // namespace springboard
