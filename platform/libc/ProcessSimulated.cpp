#include <map>
#include <mutex>

#include "platform/device/Device.h"
#include "platform/libc/Process.h"

extern char** environ;

namespace {

std::mutex commandsMutex;

/// Device programs by their path on the device, with the device's root as
/// "{root}" in their commands.
std::map<std::string, std::vector<std::string>>& commands() {
  // The device's package tool: the host's dpkg-query on the device's database.
  static std::map<std::string, std::vector<std::string>> table = {
      {"/usr/bin/dpkg", {"dpkg-query", "--admindir={root}/private/var/lib/dpkg"}}};
  return table;
}

/// A device path with "." and ".." folded, as the device resolves it.
std::string folded(const std::string& devicePath) {
  return device::hostPath(devicePath).substr(device::root().size());
}

}  // namespace

std::string libc::localPath(const std::string& devicePath) { return device::hostPath(devicePath); }

std::vector<std::string> libc::localCommand(const std::string& devicePath) {
  std::vector<std::string> command;
  {
    std::lock_guard lock(commandsMutex);
    auto found = commands().find(folded(devicePath));
    if (found == commands().end()) return {};
    command = found->second;
  }
  std::string root = device::root();
  for (std::string& word : command)
    for (std::size_t at; (at = word.find("{root}")) != std::string::npos;) word.replace(at, 6, root);
  return command;
}

void libc::setLocalCommand(const std::string& devicePath, std::vector<std::string> command) {
  std::lock_guard lock(commandsMutex);
  commands()[folded(devicePath)] = std::move(command);
}

char** libc::environment() { return environ; }
