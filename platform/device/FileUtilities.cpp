#include "platform/device/FileUtilities.h"

#include <dirent.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <linux/openat2.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/device/Device.h"

namespace files {
namespace {

std::string directoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A temporary file is named ".<target>.<writer's pid>.<six random characters>",
// so that a later writer can tell whether the one that made it is still alive.
constexpr std::size_t randomLength = 6;

std::string temporaryPrefix(const std::string& hostPath) { return "." + baseNameOf(hostPath) + "."; }

/// The writer's pid if `entry` is a temporary file of a target with this prefix.
pid_t temporaryWriter(std::string_view entry, std::string_view prefix) {
  if (!entry.starts_with(prefix)) return 0;
  entry.remove_prefix(prefix.size());
  auto dot = entry.find('.');
  if (dot == 0 || dot == std::string_view::npos || entry.size() - dot - 1 != randomLength) return 0;
  long long pid = 0;
  for (char digit : entry.substr(0, dot)) {
    if (digit < '0' || digit > '9' || pid > 1'000'000'000) return 0;
    pid = pid * 10 + (digit - '0');
  }
  for (char random : entry.substr(dot + 1))
    if (!std::isalnum(static_cast<unsigned char>(random))) return 0;
  return static_cast<pid_t>(pid);
}

bool isAlive(pid_t pid) { return pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace

bool writeAll(int descriptor, std::string_view contents) {
  while (!contents.empty()) {
    ssize_t written = ::write(descriptor, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

namespace {

constexpr int readFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

std::atomic<bool> openat2Missing{false};

/// The kernel resolves the path as if the device root were "/": absolute links
/// and ".." stop at the root.
int openInRoot(int rootDescriptor, const char* relativePath) {
  struct open_how how {};
  how.flags = readFlags;
  how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
  for (int attempt = 0; attempt < 8; ++attempt) {
    long descriptor = ::syscall(SYS_openat2, rootDescriptor, relativePath, &how, sizeof how);
    if (descriptor >= 0) return static_cast<int>(descriptor);
    // A rename elsewhere in the tree makes the kernel ask for a retry.
    if (errno != EAGAIN && errno != EINTR) return -1;
  }
  return -1;
}

/// Without openat2 (older kernels, some sandboxes): open through the host
/// path, then keep the file only if what was opened lies inside the root.
int openAndConfirmInside(const std::string& root, std::string_view devicePath) {
  Descriptor opened(::open((root + "/" + std::string(devicePath)).c_str(), readFlags));
  if (opened.get() < 0) return -1;
  char resolvedRoot[PATH_MAX];
  char resolved[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(opened.get());
  ssize_t length = ::readlink(link.c_str(), resolved, sizeof resolved - 1);
  if (!::realpath(root.c_str(), resolvedRoot) || length <= 0) {
    errno = EXDEV;
    return -1;
  }
  std::string_view inside(resolved, static_cast<std::size_t>(length));
  std::string_view base(resolvedRoot);
  if (!(inside == base || (inside.starts_with(base) && (base == "/" || inside[base.size()] == '/')))) {
    errno = EXDEV;
    return -1;
  }
  return opened.release();
}

}  // namespace

Place::Place(const std::string& hostPath) : path_(hostPath) {
  std::string root = device::root();
  std::string path = hostPath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (root.empty() || !path.starts_with(root + "/")) return;
  std::string relative = path.substr(root.size() + 1);
  auto slash = relative.rfind('/');
  std::string folder = slash == std::string::npos ? "." : relative.substr(0, slash);
  std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
  if (!openat2Missing.load(std::memory_order_relaxed)) {
    Descriptor rootDescriptor(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct open_how how {};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0; rootDescriptor.get() >= 0 && attempt < 8; ++attempt) {
      folder_ = static_cast<int>(::syscall(SYS_openat2, rootDescriptor.get(), folder.c_str(), &how, sizeof how));
      if (folder_ >= 0 || (errno != EAGAIN && errno != EINTR)) break;
    }
    if (folder_ < 0 && errno == ENOSYS) openat2Missing.store(true, std::memory_order_relaxed);
  }
  // Without openat2 the folder is kept only if it lies inside the root.
  if (openat2Missing.load(std::memory_order_relaxed)) folder_ = openAndConfirmInside(root, folder);
  path_ = folder_ < 0 ? std::string() : "/proc/self/fd/" + std::to_string(folder_) + "/" + name;
}

void Descriptor::reset() {
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
}

Place::~Place() {
  if (folder_ >= 0) ::close(folder_);
}

int openDeviceFile(std::string_view devicePath) { return openFileInRoot(device::root(), devicePath); }

orvane::Result<std::string> readDeviceFile(std::string_view devicePath, std::size_t maxBytes) {
  return readFileInRoot(device::root(), devicePath, maxBytes);
}

int openFileInRoot(const std::string& root, std::string_view devicePath) {
  if (!openat2Missing.load(std::memory_order_relaxed)) {
    Descriptor rootDescriptor(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (rootDescriptor.get() < 0) return -1;
    std::string relative(devicePath);
    relative.erase(0, relative.find_first_not_of('/') == std::string::npos ? relative.size()
                                                                              : relative.find_first_not_of('/'));
    if (relative.empty()) relative = ".";
    int descriptor = openInRoot(rootDescriptor.get(), relative.c_str());
    if (descriptor >= 0 || (errno != ENOSYS && errno != EPERM)) return descriptor;
    if (errno == ENOSYS) openat2Missing.store(true, std::memory_order_relaxed);
  }
  return openAndConfirmInside(root, devicePath);
}

orvane::Result<std::string> readFileInRoot(const std::string& root, std::string_view devicePath, std::size_t maxBytes) {
  auto refused = [](int error) {
    return orvane::Error(error == EXDEV ? "it leads outside the device" : std::strerror(error), error);
  };
  Descriptor file(openFileInRoot(root, devicePath));
  if (file.get() < 0) {
    int error = errno;
    if (error == ENOENT || error == ENOTDIR) return orvane::Error("it does not exist", ENOENT);
    return refused(error);
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return refused(errno);
  if (!S_ISREG(info.st_mode)) return orvane::Error("it is not a regular file", EINVAL);
  auto tooLarge = [&] { return orvane::Error(fmt::format("it is larger than {} bytes", maxBytes), EFBIG); };
  if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return tooLarge();
  // One byte more than the size given, so that a file that has not changed is
  // read whole, its end seen, by one call. It may grow between fstat and read:
  // never take more than one byte past the limit.
  auto size = static_cast<std::size_t>(info.st_size);
  std::string bytes(std::min(maxBytes + 1, size + 1), '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) {
      if (bytes.size() > maxBytes) return tooLarge();
      bytes.resize(std::min(maxBytes + 1, std::max<std::size_t>(bytes.size() * 2, 4096)));
    }
    ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return refused(errno);
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
    // A regular file read short at the very size fstat gave has ended there.
    if (filled == size && filled < bytes.size()) break;
  }
  if (filled > maxBytes) return tooLarge();
  bytes.resize(filled);
  return bytes;
}

orvane::Result<std::string> readWhole(const std::string& hostPath) {
  auto failure = [&](int error) {
    return orvane::Error(fmt::format("cannot read {}: {}", hostPath, std::strerror(error)), error);
  };
  Descriptor file(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return failure(errno);
  struct stat info {};
  if (fstat(file.get(), &info) != 0) return failure(errno);
  if (!S_ISREG(info.st_mode)) return orvane::Error(fmt::format("cannot read {}: it is not a regular file", hostPath), EINVAL);
  std::string contents;
  contents.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[16384];
  for (;;) {
    ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return failure(errno);
    if (got == 0) break;
    contents.append(buffer, static_cast<std::size_t>(got));
  }
  return contents;
}

int removeStaleTemporaries(const std::string& hostPath) {
  std::string directory = directoryOf(hostPath);
  std::string prefix = temporaryPrefix(hostPath);
  DIR* listing = ::opendir(directory.c_str());
  if (!listing) return 0;
  int removed = 0;
  while (dirent* entry = ::readdir(listing)) {
    pid_t writer = temporaryWriter(entry->d_name, prefix);
    if (writer > 0 && !isAlive(writer) && ::unlinkat(::dirfd(listing), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(listing);
  return removed;
}

orvane::Result<void> writeAtomically(const std::string& hostPath, std::string_view contents, Durability durability) {
  auto failure = [&](int error) {
    return orvane::Error(fmt::format("cannot write {}: {}", hostPath, std::strerror(error)), error);
  };
  Place place(hostPath);
  const std::string& target = place.path();
  if (target.empty()) return failure(ENOENT);
  removeStaleTemporaries(target);
  std::string directory = directoryOf(target);
  std::string temporary =
      directory + "/" + temporaryPrefix(target) + std::to_string(::getpid()) + "." + std::string(randomLength, 'X');
  std::vector<char> pattern(temporary.begin(), temporary.end());
  pattern.push_back('\0');
  int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (descriptor < 0) return failure(errno);
  bool ok = ::fchmod(descriptor, 0644) == 0 && writeAll(descriptor, contents);
  if (ok && durability == Durability::Flushed) ok = ::fsync(descriptor) == 0;
  int error = ok ? 0 : errno;
  if (::close(descriptor) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(pattern.data(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(pattern.data());
    return failure(error);
  }
  if (durability == Durability::Flushed) {
    int directoryDescriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryDescriptor >= 0) {
      ::fsync(directoryDescriptor);
      ::close(directoryDescriptor);
    }
  }
  return orvane::success();
}

orvane::Result<ExclusiveLock> ExclusiveLock::take(const std::string& lockHostPath) {
  auto failure = [&](int error) {
    return orvane::Error(fmt::format("cannot lock {}: {}", lockHostPath, std::strerror(error)), error);
  };
  Place place(lockHostPath);
  int descriptor = ::open(place.path().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    // A lock file left by someone else may be read-only to us; a lock needs no writing.
    int creating = errno;
    descriptor = ::open(place.path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) return failure(errno == ENOENT ? creating : errno);
  }
  while (::flock(descriptor, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    int error = errno;
    ::close(descriptor);
    return failure(error);
  }
  return ExclusiveLock(descriptor);
}

ExclusiveLock::~ExclusiveLock() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

orvane::Result<void> makeDirectories(const std::string& hostPath) {
  auto failure = [&](int error) {
    return orvane::Error(fmt::format("cannot make the directory {}: {}", hostPath, std::strerror(error)), error);
  };
  std::string partial;
  std::size_t position = 0;
  while (position != std::string::npos) {
    position = hostPath.find('/', position + 1);
    partial = hostPath.substr(0, position);
    if (partial.empty()) continue;
    if (::mkdir(Place(partial).path().c_str(), 0755) != 0 && errno != EEXIST) return failure(errno);
  }
  struct stat info {};
  if (::stat(Place(hostPath).path().c_str(), &info) != 0) return failure(errno);
  if (!S_ISDIR(info.st_mode)) return failure(ENOTDIR);
  return orvane::success();
}

}  // namespace files
