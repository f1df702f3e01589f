#pragma once

#include <string>
#include <vector>

#include "platform/result/Result.h"

// Running host programs and taking what they write (the simulator's tools:
// dpkg, the hosts of the device). The device itself runs programs through
// platform/libc/Spawn.h.

namespace hostrun {

enum class ErrorStream {
  /// The program's errors go where this process's go.
  Shown,
  Discarded,
  Captured,
};

struct RunOutput {
  int status = -1;
  /// What the program wrote to its standard output.
  std::string output;
  /// What it wrote to its standard error, with ErrorStream::Captured.
  std::string errors;
};

/// Runs a program (looked up on PATH when named without a slash) and waits for
/// it, its standard output captured. An error if it could not run or a signal
/// ended it; otherwise its exit status, whatever it is.
orvane::Result<RunOutput> run(const std::vector<std::string>& arguments, ErrorStream errors = ErrorStream::Shown);

}  // namespace hostrun
