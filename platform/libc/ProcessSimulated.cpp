#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/libc/Process.h"

extern char** environ;

namespace {

std::mutex commandsMutex;

/// Device programs by their path on the device, with the device's root as
/// "{root}" in their commands.
const std::map<std::string, std::vector<std::string>> deviceTools = {
    // The device's package tool: the host's dpkg-query on the device's database.
    {"/usr/bin/dpkg", {"dpkg-query", "--admindir={root}/private/var/lib/dpkg"}}};

std::map<std::string, std::vector<std::string>>& replaced() {
  static std::map<std::string, std::vector<std::string>> table;
  return table;
}

/// A device path with "." and ".." folded, as the device resolves it.
std::string folded(const std::string& devicePath) {
  return device::hostPath(devicePath).substr(device::root().size());
}

}  // namespace

std::string libc::localPath(const std::string& devicePath) { return device::hostPath(devicePath); }

libc::WritePath::WritePath(const std::string& devicePath) {
  files::Place place(device::hostPath(devicePath));
  path_ = place.path();
  folder_ = place.release();
}

libc::WritePath::~WritePath() {
  if (folder_ >= 0) ::close(folder_);
}

std::vector<std::string> libc::localCommand(const std::string& devicePath) {
  std::vector<std::string> command;
  {
    std::lock_guard lock(commandsMutex);
    std::string path = folded(devicePath);
    if (auto found = replaced().find(path); found != replaced().end()) command = found->second;
    else if (auto tool = deviceTools.find(path); tool != deviceTools.end()) command = tool->second;
    else return {};
  }
  std::string root = device::root();
  for (std::string& word : command)
    for (std::size_t at; (at = word.find("{root}")) != std::string::npos;) word.replace(at, 6, root);
  return command;
}

void libc::setLocalCommand(const std::string& devicePath, std::vector<std::string> command) {
  std::lock_guard lock(commandsMutex);
  if (command.empty()) replaced().erase(folded(devicePath));
  else replaced()[folded(devicePath)] = std::move(command);
}

char** libc::environment() { return environ; }
