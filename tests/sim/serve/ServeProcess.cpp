#include "tests/sim/serve/ServeProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <regex>

namespace testsupport {

using Clock = std::chrono::steady_clock;

int sendRequest(int port, const std::string& request, const std::string& address) {
  int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<std::uint16_t>(port));
  ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
  if (descriptor < 0 || ::connect(descriptor, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
    if (descriptor >= 0) ::close(descriptor);
    return -1;
  }
  ::send(descriptor, request.data(), request.size(), MSG_NOSIGNAL);
  return descriptor;
}

HttpAnswer exchange(int port, const std::string& request, const std::string& address) {
  HttpAnswer answer;
  int descriptor = sendRequest(port, request, address);
  if (descriptor < 0) return answer;
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
  static const std::regex url(R"(http://127\.0\.0\.1:([0-9]+)/\?token=([0-9a-f]+))");
  std::smatch found;
  if (!process_.start(simulator, root, {"serve", "--port", "0"}) ||
      !process_.awaits([&](const std::string& printed) { return std::regex_search(printed, found, url); },
                       std::chrono::seconds(20)))
    return false;
  port_ = std::stoi(found[1]);
  token_ = found[2];
  return true;
}

}  // namespace testsupport
