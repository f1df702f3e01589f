#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace libc {

/// What a program run with its standard output in a file left behind.
struct OutputFile {
  /// The program's exit status, or -1 if it could not run.
  int status = -1;
  /// The bytes the file holds when the program has ended, read back through
  /// the descriptor that created it: whatever is put at the path meanwhile is
  /// never read. None when the file could not be created or read back, or holds
  /// more than the maximum length.
  std::optional<std::string> contents;
};

/// Runs a device program directly (no shell) and waits for it, its standard
/// output going into a fresh file at `outputPath` (a device path), which stays
/// in place afterwards. Whatever stands at that path, a link included, is
/// replaced and never followed; when it cannot be replaced, nothing runs.
OutputFile runWithOutputFile(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& outputPath, std::size_t maximumLength = std::size_t {64} << 20);

}  // namespace libc
