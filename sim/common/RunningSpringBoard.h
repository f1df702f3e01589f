#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/result/Result.h"

// The device's SpringBoard as a process: finding the one running, starting
// one in the background and stopping it. A running SpringBoard is known by
// its button socket (sim/common/PressChannel.h) and its answer there, never by
// a file that may be stale; it also writes its pid to kPidFilePath for people
// and scripts.
namespace springboard {

/// Written by SpringBoard once it takes presses ("<pid>\n"), removed when it ends.
inline constexpr const char* kPidFilePath = "/var/run/SpringBoard.pid";

/// The pid of the device's running SpringBoard, from the credentials of its
/// button socket; none when no SpringBoard runs, an Error when that cannot be
/// told (e.g. the socket cannot be reached). One that is ending (killed a
/// moment ago) is none, once it has let go of the socket.
orvane::Result<std::optional<pid_t>> runningPid();

/// Starts the device's SpringBoard with `options` (as `orvane-sim springboard`
/// takes them) in a session of its own, its messages going to the device's
/// system log only, and returns once it takes presses. Until then its standard
/// error is this process's, so a failure to start is said there. The device
/// is this process's ORVANE_DEVICE, as for every program it starts.
/// Its pid; the process is this one's child, which a long-running caller reaps.
orvane::Result<pid_t> startDetached(const std::vector<std::string>& options);

/// Stops the running SpringBoard as Ctrl-C does, and if it has not ended after
/// `patience`, kills it. `pid` is -1 when none was running.
struct Stopped {
  pid_t pid = -1;
  bool killed = false;
};
orvane::Result<Stopped> stop(std::chrono::milliseconds patience = std::chrono::seconds(10));

/// The options the running SpringBoard was started with (e.g. {"--audio", "system"}).
std::vector<std::string> options(pid_t pid);

/// A file mapped into a process: the host path it was mapped from and its
/// identity then. `deleted` when that file has since been removed or replaced
/// at its path (as dpkg does when it upgrades a library).
struct MappedFile {
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
  bool deleted = false;
};
std::vector<MappedFile> mappedFiles(pid_t pid);

/// The mapping of the device file (e.g. the hook library) in the process, if
/// it has one; `stale` when the file now at that path is not the one mapped.
struct MappedLibrary {
  MappedFile file;
  bool stale = false;
};
std::optional<MappedLibrary> mappedLibrary(pid_t pid, const std::string& devicePath);

}  // namespace springboard
