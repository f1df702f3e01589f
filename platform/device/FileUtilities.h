#pragma once

#include <optional>
#include <string>
#include <string_view>

// Host file operations shared by the platform libraries.
namespace files {

std::optional<std::string> readWhole(const std::string& hostPath);

enum class ReadStatus { Read, Absent, Unreadable };

/// The outcome of reading a whole file: its bytes, or why there are none.
struct FileContents {
  ReadStatus status = ReadStatus::Absent;
  std::string bytes;
  /// Why the file could not be read, for a person ("it is not a regular file").
  std::string reason;

  explicit operator bool() const { return status == ReadStatus::Read; }
};

/// Opens a file of the device read-only, every component of the path (links
/// and ".." included) resolved inside the device root, so nothing outside the
/// device is ever opened. Non-blocking and close-on-exec; -1 with errno set on
/// failure. Only regular files are useful to callers: check with fstat.
int openDeviceFile(std::string_view devicePath);

/// Reads a whole regular file of the device of at most maxBytes: one open
/// (openDeviceFile), a size check before reading, bounded reads, one close.
/// A FIFO, a directory, a device or a larger file is Unreadable, never waited on.
FileContents readDeviceFile(std::string_view devicePath, std::size_t maxBytes);

/// The same two for a given device root (a host directory) instead of this process's.
int openFileInRoot(const std::string& root, std::string_view path);
FileContents readFileInRoot(const std::string& root, std::string_view path, std::size_t maxBytes);

enum class Durability { Flushed, Unflushed };

/// Writes a temporary file beside the target, then renames it into place, so
/// that a reader sees either the whole old or the whole new file. With
/// Durability::Flushed the file and its directory are flushed to disk too.
/// False, with errno saying why, if it could not; the old file then stays.
/// Temporary files of the target left by writers that have died are removed.
bool writeAtomically(const std::string& hostPath, std::string_view contents, Durability durability);

/// Writes all of `contents`, going on after interruptions and short writes.
bool writeAll(int descriptor, std::string_view contents);

/// Removes the temporary files that writeAtomically left beside the target in
/// processes no longer alive; returns how many it removed.
int removeStaleTemporaries(const std::string& hostPath);

/// An exclusive advisory lock on a lock file (created if missing), held from
/// construction to destruction; across processes and threads alike. Not held
/// if the lock file can neither be opened nor created.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(const std::string& lockHostPath);
  ~ExclusiveLock();
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  bool held() const { return descriptor_ >= 0; }

 private:
  int descriptor_ = -1;
};

/// Creates a directory and its parents; true if it exists afterwards.
bool makeDirectories(const std::string& hostPath);

}  // namespace files
