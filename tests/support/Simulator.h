#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

struct SimResult {
  int status;
  std::string out;
  std::string err;
};

/// Runs orvane-sim (`simulator` is its path) on a device, capturing both outputs.
/// `wrapper` is a command that runs it (e.g. with a limit), given the command after its own words.
SimResult runSim(const std::string& simulator, const std::string& root, std::vector<std::string> words,
                 const std::vector<std::string>& wrapper = {});

/// Starts orvane-sim on a device without waiting, its outputs discarded; -1 if it could not start.
pid_t startSim(const std::string& simulator, const std::string& root, std::vector<std::string> words);
/// Waits for a process started with startSim: its exit status, or 128 plus the signal that ended it.
int waitSim(pid_t pid);

/// `orvane-sim springboard` on a device, running until the object goes.
class SpringBoardProcess {
 public:
  SpringBoardProcess() = default;
  ~SpringBoardProcess() { stop(); }
  SpringBoardProcess(const SpringBoardProcess&) = delete;
  SpringBoardProcess& operator=(const SpringBoardProcess&) = delete;

  /// Starts it and waits until it takes presses; false if it did not within 10 s.
  bool start(const std::string& simulator, const std::string& root);
  void stop();

 private:
  pid_t pid_ = -1;
};

}  // namespace testsupport
