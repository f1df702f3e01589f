#pragma once

#include <unistd.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/result/Result.h"

namespace libc {

/// Where a started program's standard stream comes from or goes to: shared
/// with this process, /dev/null, or a descriptor of ours (which stays open here).
struct Redirection {
  enum class Kind { Inherited, Null, Descriptor };
  Kind kind = Kind::Inherited;
  int descriptor = -1;

  static Redirection inherited() { return {}; }
  static Redirection null() { return {Kind::Null, -1}; }
  static Redirection to(int descriptor) { return {Kind::Descriptor, descriptor}; }
};

enum class Lookup {
  /// The program is the path given.
  Exact,
  /// A program named without a slash is looked up on PATH, as a shell does.
  SearchPath,
};

struct SpawnOptions {
  Redirection input, output, errors;
  Lookup lookup = Lookup::Exact;
};

/// Starts a program directly (no shell) with this process's environment and
/// returns its process id; it is not waited for. The child starts with no
/// signal blocked and SIGPIPE at its default, whatever this process does with them.
orvane::Result<pid_t> spawn(const std::vector<std::string>& arguments, const SpawnOptions& options = {});

/// How a child ended: by exiting with a status, or by a signal.
struct Ending {
  /// -1 when a signal ended it.
  int exitStatus = -1;
  /// 0 when it exited.
  int signal = 0;
};

/// Waits for a child to end, going on after interruptions; an error if it cannot be waited for.
orvane::Result<Ending> waitFor(pid_t child);

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

/// Runs a device program (as localCommand gives it, without a shell) and waits for it, its standard
/// output going into a fresh file at `outputPath` (a device path), which stays
/// in place afterwards. Whatever stands at that path, a link included, is
/// replaced and never followed; when it cannot be replaced, nothing runs.
OutputFile runWithOutputFile(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& outputPath, std::size_t maximumLength = std::size_t {64} << 20);

}  // namespace libc
