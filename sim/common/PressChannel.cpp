#include "sim/common/PressChannel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/device/Device.h"

namespace pressing {
namespace {

// An abstract socket: nothing is left behind when SpringBoard dies.
socklen_t address(sockaddr_un& where) {
  std::memset(&where, 0, sizeof where);
  where.sun_family = AF_UNIX;
  std::string name = "orvane-springboard:" + device::identity();
  std::memcpy(where.sun_path + 1, name.data(), std::min(name.size(), sizeof where.sun_path - 2));
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

}  // namespace

orvane::Result<int> listen() {
  int descriptor = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un where {};
  socklen_t length = address(where);
  if (descriptor < 0 || ::bind(descriptor, reinterpret_cast<sockaddr*>(&where), length) != 0 ||
      ::listen(descriptor, 16) != 0) {
    int error = errno;
    if (descriptor >= 0) ::close(descriptor);
    if (error == EADDRINUSE) return orvane::Error("SpringBoard is already running on this device", error);
    return orvane::Error(std::string("cannot open the button socket: ") + std::strerror(error), error);
  }
  return descriptor;
}

orvane::Result<int> connect() {
  int descriptor = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un where {};
  socklen_t length = address(where);
  if (descriptor >= 0 && ::connect(descriptor, reinterpret_cast<sockaddr*>(&where), length) == 0) return descriptor;
  int error = errno;
  if (descriptor >= 0) ::close(descriptor);
  if (error == ECONNREFUSED)
    return orvane::Error("SpringBoard is not running on device " + device::root() +
                             " (start it with: " + device::simulatorCommand("springboard --detach") + ")",
                         error);
  return orvane::Error(std::string("cannot reach SpringBoard: ") + std::strerror(error), error);
}

orvane::Result<Presser> Presser::connect() {
  auto connection = pressing::connect();
  if (!connection) return connection.error();
  return Presser(*connection);
}

Presser::Presser(Presser&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

Presser::~Presser() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

orvane::Result<int> Presser::press(const std::string& button) {
  if (::send(descriptor_, button.data(), button.size(), MSG_NOSIGNAL) < 0)
    return orvane::Error("SpringBoard went away", errno);
  std::string reply = receiveRequest(descriptor_);
  if (reply.rfind("volume ", 0) != 0)
    return orvane::Error(reply.empty() ? "SpringBoard went away before handling the press" : "SpringBoard: " + reply);
  return std::atoi(reply.c_str() + 7);
}

std::string receiveRequest(int connection) {
  char buffer[256];
  for (;;) {
    ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
  }
}

bool sendReply(int connection, const std::string& reply) {
  for (;;) {
    ssize_t sent = ::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno == EINTR) continue;
    return sent == static_cast<ssize_t>(reply.size());
  }
}

}  // namespace pressing
