#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
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

/// Reads what `descriptor` has by the deadline and appends it; false at its end or on time-out.
bool readSome(int descriptor, std::string& into, std::chrono::steady_clock::time_point deadline);

/// orvane-sim running on a device, its standard output read as it comes,
/// until the object goes (SIGTERM).
class RunningSim {
 public:
  RunningSim() = default;
  RunningSim(const std::string& simulator, const std::string& root, std::vector<std::string> words) {
    start(simulator, root, std::move(words));
  }
  ~RunningSim() { stop(); }
  RunningSim(const RunningSim&) = delete;
  RunningSim& operator=(const RunningSim&) = delete;

  /// False if it could not start.
  bool start(const std::string& simulator, const std::string& root, std::vector<std::string> words);
  /// Reads until `done` says yes of what it printed so far (true), or it ends, or `within` has passed.
  bool awaits(const std::function<bool(const std::string& printed)>& done,
              std::chrono::milliseconds within = std::chrono::seconds(5));
  /// Reads until it has printed `text`.
  bool awaits(const std::string& text, std::chrono::milliseconds within = std::chrono::seconds(5));
  const std::string& printed() const { return printed_; }
  /// Its process, -1 when it does not run.
  pid_t pid() const { return pid_; }
  /// Sends SIGTERM and waits: its exit status, or 128 plus the signal that ended it; -1 if it was not running.
  int stop();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string printed_;
};

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
