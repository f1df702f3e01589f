#include "tests/sim/serve/ServeProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <vector>

#include "platform/libc/Spawn.h"

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

/// Reads what is there within the time left; false at the end or on time-out.
bool readSome(int descriptor, std::string& into, Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return false;
  pollfd watched{descriptor, POLLIN, 0};
  if (::poll(&watched, 1, static_cast<int>(left)) <= 0) return false;
  char buffer[8192];
  ssize_t got = ::read(descriptor, buffer, sizeof buffer);
  if (got <= 0) return false;
  into.append(buffer, static_cast<std::size_t>(got));
  return true;
}

}  // namespace

HttpAnswer exchange(int port, const std::string& request, const std::string& address) {
  HttpAnswer answer;
  int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<std::uint16_t>(port));
  ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
  if (::connect(descriptor, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
    ::close(descriptor);
    return answer;
  }
  ::send(descriptor, request.data(), request.size(), MSG_NOSIGNAL);
  std::string raw;
  auto deadline = Clock::now() + std::chrono::seconds(5);
  while (readSome(descriptor, raw, deadline)) {
  }
  ::close(descriptor);
  std::size_t end = raw.find("\r\n\r\n");
  if (raw.rfind("HTTP/1.", 0) != 0 || end == std::string::npos) return answer;
  answer.status = std::atoi(raw.c_str() + 9);
  answer.head = raw.substr(0, end);
  answer.body = raw.substr(end + 4);
  return answer;
}

bool ServeProcess::start(const std::string& simulator, const std::string& root) {
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return false;
  auto started = libc::spawn({simulator, "--device", root, "serve", "--port", "0"},
                             {libc::Redirection::null(), libc::Redirection::to(pipe[1]), libc::Redirection::inherited()});
  ::close(pipe[1]);
  output_ = pipe[0];
  if (!started) return false;
  pid_ = *started;
  static const std::regex url(R"(http://127\.0\.0\.1:([0-9]+)/\?token=([0-9a-f]+))");
  auto deadline = Clock::now() + std::chrono::seconds(20);
  std::smatch found;
  while (!std::regex_search(greeting_, found, url))
    if (!readSome(output_, greeting_, deadline)) return false;
  port_ = std::stoi(found[1]);
  token_ = found[2];
  return true;
}

int ServeProcess::stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  auto ending = libc::waitFor(pid_);
  pid_ = -1;
  if (output_ >= 0) ::close(output_);
  output_ = -1;
  if (!ending) return -1;
  return ending->signal ? 128 + ending->signal : ending->exitStatus;
}

}  // namespace testsupport
