#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/result/Result.h"

// Host file operations shared by the platform libraries. Their errors carry
// the system's error number as their code.
namespace files {

/// The whole of a regular host file; the error says "cannot read PATH: why".
orvane::Result<std::string> readWhole(const std::string& hostPath);

/// Opens a file of the device read-only, every component of the path (links
/// and ".." included) resolved inside the device root, so nothing outside the
/// device is ever opened. Non-blocking and close-on-exec; -1 with errno set on
/// failure. Only regular files are useful to callers: check with fstat.
int openDeviceFile(std::string_view devicePath);

/// Reads a whole regular file of the device of at most maxBytes: one open
/// (openDeviceFile), a size check before reading, bounded reads, one close.
/// A FIFO, a directory, a device or a larger file is refused, never waited on.
/// The error says why, for a person to read after the file's name ("it is not
/// a regular file"); its code is ENOENT when the file is not there.
orvane::Result<std::string> readDeviceFile(std::string_view devicePath, std::size_t maxBytes);

/// The same two for a given device root (a host directory) instead of this process's.
int openFileInRoot(const std::string& root, std::string_view path);
orvane::Result<std::string> readFileInRoot(const std::string& root, std::string_view path, std::size_t maxBytes);

/// A descriptor of ours, closed on every way out.
class Descriptor {
 public:
  explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return descriptor_; }
  int release() { return std::exchange(descriptor_, -1); }
  void reset();

 private:
  int descriptor_;
};

/// Where a write, lock, rename or removal of a file reaches it. For a host path
/// under the device root its folder is opened with every component resolved
/// inside the root, as reads resolve it (a link leading out is taken as if the
/// root were "/"), and path() names the file through that folder; the file's
/// own name is never a link followed by the calls below. Another host path is
/// taken as it is.
class Place {
 public:
  explicit Place(const std::string& hostPath);
  ~Place();
  Place(const Place&) = delete;
  Place& operator=(const Place&) = delete;
  /// The path to hand to the system; empty (ENOENT) when the folder is missing.
  const std::string& path() const { return path_; }
  /// Hands the opened folder, which path() goes through, to the caller to close.
  int release() { return std::exchange(folder_, -1); }

 private:
  int folder_ = -1;
  std::string path_;
};

enum class Durability { Flushed, Unflushed };

/// Writes a temporary file beside the target, then renames it into place, so
/// that a reader sees either the whole old or the whole new file. With
/// Durability::Flushed the file and its directory are flushed to disk too.
/// When it cannot, the old file stays and the error says "cannot write PATH: why".
/// Temporary files of the target left by writers that have died are removed.
orvane::Result<void> writeAtomically(const std::string& hostPath, std::string_view contents, Durability durability);

/// Writes all of `contents`, going on after interruptions and short writes;
/// false with errno set if it cannot (as write(2), which it stands beside).
bool writeAll(int descriptor, std::string_view contents);

/// Removes the temporary files that writeAtomically left beside the target in
/// processes no longer alive; returns how many it removed.
int removeStaleTemporaries(const std::string& hostPath);

/// An exclusive advisory lock on a lock file (created if missing, never
/// followed when it is a link), held until the lock is destroyed; across
/// processes and threads alike.
class ExclusiveLock {
 public:
  /// Waits for the lock and takes it; an error ("cannot lock PATH: why", with
  /// errno) if the lock file can neither be opened nor created, or not be locked.
  static orvane::Result<ExclusiveLock> take(const std::string& lockHostPath);
  ExclusiveLock(ExclusiveLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
  ExclusiveLock& operator=(ExclusiveLock&&) = delete;
  ~ExclusiveLock();

 private:
  explicit ExclusiveLock(int descriptor) : descriptor_(descriptor) {}
  int descriptor_;
};

/// Creates a directory and its parents; an error ("cannot make the directory
/// PATH: why") unless it exists afterwards.
orvane::Result<void> makeDirectories(const std::string& hostPath);

}  // namespace files
