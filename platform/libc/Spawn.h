#pragma once

#include <string>
#include <vector>

namespace libc {

/// Runs a device program directly (no shell) and waits for it, its standard
/// output going into a fresh file at `outputPath` (a device path). Whatever
/// stands at that path, a link included, is replaced and never followed.
/// Returns the program's exit status, or -1 if it could not run.
int runWithOutputFile(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& outputPath);

}  // namespace libc
