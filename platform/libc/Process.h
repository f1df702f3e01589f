#pragma once

#include <string>

// What running programs needs from the system it runs on: the simulated
// device maps its paths into a directory, the device takes them as they are.

namespace libc {

/// The path at which this process reaches a device path.
std::string localPath(const std::string& devicePath);
/// The environment handed on to the programs it starts.
char** environment();

}  // namespace libc
