#pragma once

#include <string>
#include <string_view>

#include "platform/result/Result.h"

// The device's logs (the speaker's log and recording, the system log) are kept
// in two segments each: once the current file would grow past its size, it is
// renamed to its previous segment, replacing the one before, and a new one is
// begun. Writers of several processes share them.
namespace files {

/// Opens a log file of the device with `access` (O_WRONLY | O_APPEND, O_RDWR)
/// to add `incoming` bytes, never through a link in its place and only if it is
/// a regular file; when it would grow past `limit`, it is renamed to
/// `previousPath` first. With `locked` the descriptor returned holds an
/// exclusive lock. The error says "cannot write LOG: why".
orvane::Result<int> openLogSegment(const char* devicePath, const char* previousPath, long long limit,
                                   long long incoming, int access, bool locked);

/// Appends one record (whole lines) in one write, so that records of several
/// processes never interleave.
orvane::Result<void> appendLogRecord(const char* devicePath, const char* previousPath, long long limit, std::string_view record);

/// Empties a log: removes its previous segment and truncates the current one
/// while holding the lock that rotation and locked writers take, so that no
/// writer's record is cut in half and no rotation brings old records back.
/// A log that is not there is empty already.
orvane::Result<void> clearLog(const char* devicePath, const char* previousPath);

/// The time now as logs write it: UTC with milliseconds, "2026-12-08T08:34:36.123Z".
std::string logTimestamp();

}  // namespace files
