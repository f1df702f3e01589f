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
/// Simulated device only: the host command standing for a device program
/// (tests stand in for its tools); an empty one restores what the device has.
void setLocalCommand(const std::string& devicePath, std::vector<std::string> command);
/// A device path as this process writes, renames or removes it, while it
/// lives: on the simulated device through its folder resolved inside the
/// device, so that a link never leads a write out of it.
class WritePath {
 public:
  explicit WritePath(const std::string& devicePath);
  ~WritePath();
  WritePath(const WritePath&) = delete;
  WritePath& operator=(const WritePath&) = delete;
  const std::string& get() const { return path_; }

 private:
  int folder_ = -1;
  std::string path_;
};
/// The environment handed on to the programs it starts.
char** environment();

}  // namespace libc
