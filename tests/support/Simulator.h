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
SimResult runSim(const std::string& simulator, const std::string& root, std::vector<std::string> words);

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
