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
bool writeAtomically(const std::string& hostPath, std::string_view contents, Durability durability);

/// Writes all of `contents`, going on after interruptions and short writes.
bool writeAll(int descriptor, std::string_view contents);

/// Creates a directory and its parents; true if it exists afterwards.
bool makeDirectories(const std::string& hostPath);

}  // namespace files
