#pragma once

#include <string>
#include <vector>

// What running programs needs from the system it runs on: the simulated
// device maps its paths into a directory, the device takes them as they are.

namespace libc {

/// The path at which this process reaches a device path.
std::string localPath(const std::string& devicePath);
/// The command that runs a device program here, empty when there is none. The
/// simulated device runs none of its files on this computer: its own tools are
/// the host's, and what a package ships never runs.
std::vector<std::string> localCommand(const std::string& devicePath);
/// Simulated device only: the host command standing for a device program.
void setLocalCommand(const std::string& devicePath, std::vector<std::string> command);
/// The environment handed on to the programs it starts.
char** environment();

}  // namespace libc
