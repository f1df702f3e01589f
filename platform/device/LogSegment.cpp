#include "platform/device/LogSegment.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <ctime>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/device/PathWatch.h"

namespace files {
namespace {

bool lockExclusively(int descriptor) {
  while (::flock(descriptor, LOCK_EX) != 0)
    if (errno != EINTR) return false;
  return true;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

/// Whether the descriptor, now locked, is still the file at the path.
bool stillNamed(int descriptor, const std::string& path) {
  struct stat opened {}, named {};
  return ::fstat(descriptor, &opened) == 0 && ::lstat(Place(path).path().c_str(), &named) == 0 &&
         sameFile(named, opened);
}

// The segment each log was last appended to, kept open while its name still
// leads to it: a press logs its sound, and looking up the log's path on every
// record costs more than the record itself on a machine that has been idle.
struct KeptSegment {
  // Its host path: the device root may have changed since.
  std::string path;
  int descriptor = -1;
  // Taken before the segment was opened.
  WatchStamp stamp;
};

struct KeptSegments {
  std::mutex mutex;
  // By device path: one descriptor per log, whichever device it was last in.
  std::unordered_map<std::string, KeptSegment> byLog;
};

KeptSegments& keptSegments() {
  // Never destroyed: logs may still be written while the process exits.
  static auto* segments = new KeptSegments;
  return *segments;
}

// A thread may be appending at the moment another forks.
[[maybe_unused]] const int forkHandlers = pthread_atfork([] { keptSegments().mutex.lock(); },
                                                         [] { keptSegments().mutex.unlock(); },
                                                         [] { keptSegments().mutex.unlock(); });

}  // namespace

orvane::Result<int> openLogSegment(const char* devicePath, const char* previousPath, long long limit,
                                   long long incoming, int access, bool locked) {
  auto failure = [&](int error) {
    return orvane::Error(fmt::format("cannot write {}: {}", devicePath, std::strerror(error)), error);
  };
  auto closing = [](int descriptor, int error) {
    ::close(descriptor);
    return error;
  };
  std::string path = device::hostPath(devicePath);
  int flags = access | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  // A few rounds: each retry means another process has just begun a new segment.
  for (int round = 0; round < 8; ++round) {
    int descriptor = ::open(Place(path).path().c_str(), flags, 0644);
    // A device removed meanwhile is not brought back.
    if (descriptor < 0 && errno == ENOENT && device::isDevice(device::root()) &&
        makeDirectories(path.substr(0, path.rfind('/'))))
      descriptor = ::open(Place(path).path().c_str(), flags, 0644);
    if (descriptor < 0) return failure(errno);
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0) return failure(closing(descriptor, errno));
    if (!S_ISREG(opened.st_mode)) {
      ::close(descriptor);
      return orvane::Error(fmt::format("cannot write {}: it is not a regular file", devicePath), EINVAL);
    }
    auto full = [&] { return opened.st_size > 0 && opened.st_size + incoming > limit; };
    if (!locked && !full()) return descriptor;
    if (!lockExclusively(descriptor) || ::fstat(descriptor, &opened) != 0) return failure(closing(descriptor, errno));
    if (!stillNamed(descriptor, path)) {
      ::close(descriptor);
      continue;
    }
    if (full()) {
      bool renamed = ::rename(Place(path).path().c_str(), Place(device::hostPath(previousPath)).path().c_str()) == 0;
      int error = closing(descriptor, errno);
      if (!renamed)
        return orvane::Error(fmt::format("cannot begin a new segment of {}: {}", devicePath, std::strerror(error)), error);
      continue;
    }
    if (!locked) ::flock(descriptor, LOCK_UN);
    return descriptor;
  }
  return orvane::Error(fmt::format("cannot write {}: it keeps being replaced", devicePath), EAGAIN);
}

orvane::Result<void> appendLogRecord(const char* devicePath, const char* previousPath, long long limit,
                                     std::string_view record) {
  auto incoming = static_cast<long long>(record.size());
  std::string root = device::root();
  std::string path = device::hostPath(devicePath);
  KeptSegments& segments = keptSegments();
  // Taken out while in use, so that no other lock is ever taken under this one;
  // a thread appending meanwhile opens the segment for itself.
  KeptSegment kept;
  {
    std::lock_guard lock(segments.mutex);
    kept = std::exchange(segments.byLog[devicePath], KeptSegment{});
  }
  auto keep = [&] {
    std::lock_guard lock(segments.mutex);
    KeptSegment& slot = segments.byLog[devicePath];
    if (slot.descriptor >= 0) ::close(std::exchange(kept.descriptor, -1));
    else slot = std::move(kept);
  };
  if (kept.descriptor >= 0) {
    struct stat opened {};
    // A segment that would grow past its size is rotated below, under the log file's lock.
    bool fits = kept.path == path && unchangedSince(kept.stamp) && ::fstat(kept.descriptor, &opened) == 0 &&
                !(opened.st_size > 0 && opened.st_size + incoming > limit);
    if (fits && writeAll(kept.descriptor, record)) {
      keep();
      return orvane::success();
    }
    int error = errno;
    ::close(std::exchange(kept.descriptor, -1));
    if (fits) return orvane::Error(fmt::format("cannot write {}: {}", devicePath, std::strerror(error)), error);
  }
  WatchStamp stamp = watchFile(root, path, Watching::Name);
  auto opened = openLogSegment(devicePath, previousPath, limit, incoming, O_WRONLY | O_APPEND, false);
  if (!opened) return opened.error();
  bool written = writeAll(*opened, record);
  int error = errno;
  if (written && stamp.watched()) {
    kept = KeptSegment{path, *opened, std::move(stamp)};
    keep();
  } else {
    ::close(*opened);
  }
  if (!written) return orvane::Error(fmt::format("cannot write {}: {}", devicePath, std::strerror(error)), error);
  return orvane::success();
}

orvane::Result<void> clearLog(const char* devicePath, const char* previousPath) {
  std::string path = device::hostPath(devicePath);
  std::string previous = device::hostPath(previousPath);
  auto failure = [&](const char* what, int error) {
    return orvane::Error(fmt::format("cannot clear {}: {}", what, std::strerror(error)), error);
  };
  for (int round = 0; round < 8; ++round) {
    int descriptor = ::open(Place(path).path().c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (descriptor < 0) {
      if (errno != ENOENT) return failure(devicePath, errno);
      if (::unlink(Place(previous).path().c_str()) != 0 && errno != ENOENT) return failure(previousPath, errno);
      return orvane::success();
    }
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ::close(descriptor);
      return orvane::Error(fmt::format("cannot clear {}: it is not a regular file", devicePath));
    }
    if (!lockExclusively(descriptor)) {
      int error = errno;
      ::close(descriptor);
      return failure(devicePath, error);
    }
    // Rotated meanwhile: the file now at the path is the one to empty.
    if (!stillNamed(descriptor, path)) {
      ::close(descriptor);
      continue;
    }
    orvane::Result<void> cleared = orvane::success();
    if (::unlink(Place(previous).path().c_str()) != 0 && errno != ENOENT) cleared = failure(previousPath, errno);
    else if (::ftruncate(descriptor, 0) != 0) cleared = failure(devicePath, errno);
    ::close(descriptor);
    return cleared;
  }
  return orvane::Error(fmt::format("cannot clear {}: it keeps being replaced", devicePath));
}

std::string logTimestamp() {
  auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}Z", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                     utc.tm_hour, utc.tm_min, utc.tm_sec, milliseconds % 1000);
}

}  // namespace files
