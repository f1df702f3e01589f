#include "tests/support/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/hostrun/Run.h"
#include "platform/libc/Spawn.h"

namespace testsupport {

SimResult runSim(const std::string& simulator, const std::string& root, std::vector<std::string> words,
                 const std::vector<std::string>& wrapper) {
  words.insert(words.begin(), {simulator, "--device", root});
  words.insert(words.begin(), wrapper.begin(), wrapper.end());
  SimResult result{-1, "", ""};
  auto ran = hostrun::run(words, hostrun::ErrorStream::Captured);
  if (!ran) {
    result.err = ran.error().message();
    return result;
  }
  result.status = ran->status;
  result.out = std::move(ran->output);
  result.err = std::move(ran->errors);
  return result;
}

pid_t startSim(const std::string& simulator, const std::string& root, std::vector<std::string> words) {
  words.insert(words.begin(), {simulator, "--device", root});
  libc::SpawnOptions quiet;
  quiet.output = quiet.errors = libc::Redirection::null();
  return libc::spawn(words, quiet).value_or(-1);
}

int waitSim(pid_t pid) {
  auto ending = libc::waitFor(pid);
  if (!ending) return -1;
  return ending->signal ? 128 + ending->signal : ending->exitStatus;
}

bool readSome(int descriptor, std::string& into, std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  if (descriptor < 0 || left <= 0) return false;
  pollfd watched{descriptor, POLLIN, 0};
  if (::poll(&watched, 1, static_cast<int>(left)) <= 0) return false;
  char buffer[8192];
  ssize_t got = ::read(descriptor, buffer, sizeof buffer);
  if (got <= 0) return false;
  into.append(buffer, static_cast<std::size_t>(got));
  return true;
}

bool RunningSim::start(const std::string& simulator, const std::string& root, std::vector<std::string> words) {
  stop();
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return false;
  words.insert(words.begin(), {simulator, "--device", root});
  auto started = libc::spawn(words, {libc::Redirection::null(), libc::Redirection::to(pipe[1]),
                                     libc::Redirection::inherited()});
  ::close(pipe[1]);
  output_ = pipe[0];
  if (!started) return false;
  pid_ = *started;
  return true;
}

bool RunningSim::awaits(const std::function<bool(const std::string& printed)>& done,
                        std::chrono::milliseconds within) {
  auto deadline = std::chrono::steady_clock::now() + within;
  while (!done(printed_))
    if (output_ < 0 || !readSome(output_, printed_, deadline)) return false;
  return true;
}

bool RunningSim::awaits(const std::string& text, std::chrono::milliseconds within) {
  return awaits([&](const std::string& printed) { return printed.find(text) != std::string::npos; }, within);
}

int RunningSim::stop() {
  int status = -1;
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    status = waitSim(std::exchange(pid_, -1));
  }
  if (output_ >= 0) ::close(std::exchange(output_, -1));
  return status;
}

bool SpringBoardProcess::start(const std::string& simulator, const std::string& root) {
  auto started = libc::spawn({simulator, "--device", root, "springboard"});
  if (!started) return false;
  pid_ = *started;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (runSim(simulator, root, {"status"}).status != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void SpringBoardProcess::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  (void)libc::waitFor(pid_);
  pid_ = -1;
}

}  // namespace testsupport
