#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Tells whether a file inside the device may have changed since it was last
// looked at, with one non-blocking read and no path lookup: a lookup of a long
// path costs far more than the read when the machine has been idle, and a
// press looks at two files before its sound can start.
//
// The file and every directory from the device root down to it are watched,
// links on the way followed as the device resolves them, so a file rewritten
// in place, replaced, renamed, or reached through a directory or link that was
// renamed or replaced all count as changes, whichever hard link was used.
namespace files {

/// What the watch knows of one path at the moment a look at it began.
struct WatchStamp {
  // 0: the path is not watched.
  std::uint64_t instance = 0;
  std::uint64_t serial = 0;
  std::vector<std::size_t> keys;

  bool watched() const { return instance != 0; }
};

enum class Watching {
  /// What the file holds, and which file the path names.
  Contents,
  /// Only which file the path names: for a file this process writes itself.
  Name,
};

/// Watches a file under a device root (its host path) and returns the stamp to
/// keep with what a look at it finds. Take it before opening the file: what
/// happens after it is reported. Unwatched (a look every time) when the path
/// does not lead to a regular file under the root, or the system has no
/// watches left.
WatchStamp watchFile(const std::string& root, const std::string& path, Watching watching = Watching::Contents);

/// Whether nothing that could change what the stamp's path names or holds has
/// happened since the stamp was taken. Always false for an unwatched stamp.
bool unchangedSince(const WatchStamp& stamp);

}  // namespace files
