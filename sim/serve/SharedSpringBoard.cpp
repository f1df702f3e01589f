#include "sim/serve/SharedSpringBoard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/device/FileUtilities.h"
#include "platform/libc/Spawn.h"
#include "sim/common/RunningSpringBoard.h"

namespace serve {

namespace {

constexpr off_t kUsing = 0, kChanging = 1;

/// Takes (F_RDLCK, F_WRLCK) or lets go (F_UNLCK) of one byte of the lock file,
/// for this open file: a shared lock turns exclusive, or not, in one step.
bool lockByte(int descriptor, off_t byte, short type, bool wait) {
  struct flock region {};
  region.l_type = type;
  region.l_whence = SEEK_SET;
  region.l_start = byte;
  region.l_len = 1;
  for (;;) {
    if (::fcntl(descriptor, wait ? F_OFD_SETLKW : F_OFD_SETLK, &region) == 0) return true;
    if (errno != EINTR) return false;
  }
}

/// The lock file, opened inside the device; -1 with errno set.
int openUsers() {
  std::string path(kUsersPath);
  std::size_t slash = path.rfind('/');
  int directory = files::openDeviceFile(path.substr(0, slash));
  if (directory < 0) return -1;
  int descriptor = ::openat(directory, path.c_str() + slash + 1, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  int error = errno;
  ::close(directory);
  struct stat status {};
  if (descriptor >= 0 && (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))) {
    ::close(descriptor);
    descriptor = -1;
    error = EINVAL;
  }
  errno = error;
  return descriptor;
}

/// The SpringBoard a server started, as the file says; 0 for none.
pid_t recorded(int descriptor) {
  char text[24] = {};
  ssize_t got = ::pread(descriptor, text, sizeof text - 1, 0);
  if (got <= 0) return 0;
  char* end = nullptr;
  long pid = std::strtol(text, &end, 10);
  return end != text && *end == '\n' && pid > 0 && pid < (1L << 22) ? static_cast<pid_t>(pid) : 0;
}

void record(int descriptor, pid_t pid) {
  if (::ftruncate(descriptor, 0) != 0 || pid <= 0) return;
  std::string text = std::to_string(pid) + "\n";
  [[maybe_unused]] ssize_t written = ::pwrite(descriptor, text.data(), text.size(), 0);
}

}  // namespace

orvane::Result<void> SharedSpringBoard::join() {
  orvane::Result<void> outcome = orvane::success();
  auto unshared = [](const char* what) {
    int error = errno;
    return orvane::Error(std::string("cannot ") + what + " the device's " + kUsersPath + " (" + std::strerror(error) +
                             "): SpringBoard is not shared with the device's other servers",
                         error);
  };
  lock_ = openUsers();
  if (lock_ < 0) {
    outcome = unshared("open");
  } else if (!lockByte(lock_, kChanging, F_WRLCK, true) || !lockByte(lock_, kUsing, F_RDLCK, true)) {
    outcome = unshared("lock");
    ::close(std::exchange(lock_, -1));
  }
  // Without the lock file it still starts SpringBoard, and stops the one it started.
  auto running = springboard::runningPid();
  if (!running) {
    outcome = orvane::Error(running.error().message() + "; the buttons wait for SpringBoard");
  } else if (running->has_value()) {
    if (lock_ >= 0 && recorded(lock_) != **running) record(lock_, 0);
  } else if (auto started = springboard::startDetached({}); started) {
    started_ = *started;
    if (lock_ >= 0) record(lock_, started_);
  } else {
    outcome = orvane::Error(started.error().message() + "; the buttons wait for it");
  }
  if (lock_ >= 0) lockByte(lock_, kChanging, F_UNLCK, false);
  return outcome;
}

bool SharedSpringBoard::leave() {
  if (lock_ < 0 && started_ <= 0) return false;
  bool last = true;
  pid_t serversOwn = started_;
  if (lock_ >= 0) {
    lockByte(lock_, kChanging, F_WRLCK, true);
    // Exclusive only when no other server holds its shared lock.
    last = lockByte(lock_, kUsing, F_WRLCK, false);
    serversOwn = recorded(lock_);
  }
  bool stopped = false;
  if (last && serversOwn > 0) {
    auto running = springboard::runningPid();
    if (running && running->has_value() && **running == serversOwn) {
      auto ended = springboard::stop();
      stopped = ended && ended->pid == serversOwn;
    }
    if (lock_ >= 0) record(lock_, 0);
  }
  // This process's child, once it has ended, whoever stopped it; one still running outlives the server.
  if (started_ > 0) {
    if (stopped && serversOwn == started_)
      (void)libc::waitFor(started_);
    else
      ::waitpid(started_, nullptr, WNOHANG);
  }
  if (lock_ >= 0) ::close(lock_);
  lock_ = -1;
  started_ = -1;
  return stopped;
}

}  // namespace serve
