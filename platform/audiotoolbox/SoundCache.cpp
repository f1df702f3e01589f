#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <list>
#include <mutex>
#include <unordered_map>

#include "platform/audiotoolbox/SoundFile.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/device/PathWatch.h"

namespace soundfile {
namespace {

bool operator==(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

struct Identity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  explicit Identity(const struct stat& status)
      : device(status.st_dev), inode(status.st_ino), size(status.st_size), modified(status.st_mtim),
        changed(status.st_ctim) {}
  bool operator==(const Identity&) const = default;
};

long long nanoseconds(const timespec& time) { return time.tv_sec * 1'000'000'000LL + time.tv_nsec; }

struct Entry {
  std::string path;
  Identity identity;
  // When the decode began: a change after it shows in the identity only if
  // it began clearly after the file's last change.
  timespec readAt;
  std::shared_ptr<const speaker::Clip> clip;
  std::size_t bytes;
  // Taken before the file was last looked at.
  files::WatchStamp stamp;

  bool tellsChanges() const {
    // File systems with whole-second times get a margin to match.
    bool coarse = identity.changed.tv_nsec == 0 && identity.modified.tv_nsec == 0;
    long long margin = coarse ? 2'000'000'000LL : 50'000'000LL;
    return nanoseconds(readAt) - nanoseconds(identity.changed) > margin;
  }
};

struct Cache {
  std::mutex mutex;
  // The most recently used first.
  std::list<Entry> entries;
  std::unordered_map<std::string, std::list<Entry>::iterator> byPath;
  std::size_t bytes = 0;

  void drop(const std::string& path) {
    auto found = byPath.find(path);
    if (found == byPath.end()) return;
    bytes -= found->second->bytes;
    entries.erase(found->second);
    byPath.erase(found);
  }

  /// The clip of a file whose watch has reported nothing since it was last looked at.
  std::shared_ptr<const speaker::Clip> findUnchanged(const std::string& path) {
    auto found = byPath.find(path);
    if (found == byPath.end() || !files::unchangedSince(found->second->stamp)) return nullptr;
    entries.splice(entries.begin(), entries, found->second);
    return found->second->clip;
  }

  std::shared_ptr<const speaker::Clip> find(const std::string& path, const Identity& identity,
                                            files::WatchStamp& stamp) {
    auto found = byPath.find(path);
    if (found == byPath.end()) return nullptr;
    Entry& entry = *found->second;
    if (!(entry.identity == identity)) {
      drop(path);
      return nullptr;
    }
    if (!entry.tellsChanges()) return nullptr;
    entry.stamp = std::move(stamp);
    entries.splice(entries.begin(), entries, found->second);
    return entry.clip;
  }

  void keep(Entry entry) {
    drop(entry.path);
    if (entry.bytes > kCachedBytes) return;
    bytes += entry.bytes;
    entries.push_front(std::move(entry));
    byPath[entries.front().path] = entries.begin();
    while (bytes > kCachedBytes) drop(entries.back().path);
  }
};

// Never destroyed: sounds may still be made while the process exits.
Cache& cache() {
  static Cache* instance = new Cache;
  return *instance;
}

OSStatus statusForErrno(int error) {
  return error == ENOENT || error == ENOTDIR || error == ELOOP ? kAudioFileFileNotFoundError
                                                                : kAudioFilePermissionsError;
}

}  // namespace

std::size_t cachedBytes() {
  Cache& kept = cache();
  std::lock_guard lock(kept.mutex);
  return kept.bytes;
}

OSStatus load(const std::string& devicePath, std::shared_ptr<const speaker::Clip>& clip) {
  Cache& kept = cache();
  std::string root = device::root();
  std::string path = device::hostPath(devicePath);
  {
    std::lock_guard lock(kept.mutex);
    if (auto found = kept.findUnchanged(path)) {
      clip = std::move(found);
      return kAudioServicesNoError;
    }
  }
  // Taken before the file is opened, so that any change from here on is reported.
  files::WatchStamp stamp = files::watchFile(root, path);
  // Resolved inside the device, never waiting on a FIFO or a device.
  int descriptor = files::openDeviceFile(devicePath);
  struct stat status {};
  OSStatus result = kAudioServicesNoError;
  if (descriptor < 0) {
    result = statusForErrno(errno);
  } else if (::fstat(descriptor, &status) != 0) {
    result = statusForErrno(errno);
  } else if (!S_ISREG(status.st_mode)) {
    result = kAudioFileUnsupportedFileTypeError;
  }
  if (result != kAudioServicesNoError) {
    if (descriptor >= 0) ::close(descriptor);
    std::lock_guard lock(kept.mutex);
    kept.drop(path);
    return result;
  }

  Identity identity(status);
  {
    std::lock_guard lock(kept.mutex);
    if (auto found = kept.find(path, identity, stamp)) {
      ::close(descriptor);
      clip = std::move(found);
      return kAudioServicesNoError;
    }
  }
  timespec readAt{};
  clock_gettime(CLOCK_REALTIME, &readAt);
  std::shared_ptr<const speaker::Clip> decoded;
  result = decode(descriptor, status.st_size, devicePath, decoded);
  ::close(descriptor);
  std::lock_guard lock(kept.mutex);
  if (result != kAudioServicesNoError) {
    kept.drop(path);
    return result;
  }
  kept.keep(Entry{path, identity, readAt, decoded, decoded->samples.size() * sizeof(float), std::move(stamp)});
  clip = std::move(decoded);
  return kAudioServicesNoError;
}

}  // namespace soundfile
