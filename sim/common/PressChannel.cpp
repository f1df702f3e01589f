#include "sim/common/PressChannel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

Listener listen() {
  Listener listener;
  int descriptor = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un where {};
  socklen_t length = address(where);
  if (descriptor < 0 || ::bind(descriptor, reinterpret_cast<sockaddr*>(&where), length) != 0 ||
      ::listen(descriptor, 16) != 0) {
    listener.error = errno == EADDRINUSE ? "SpringBoard is already running on this device"
                                         : std::string("cannot open the button socket: ") + std::strerror(errno);
    if (descriptor >= 0) ::close(descriptor);
    return listener;
  }
  listener.descriptor = descriptor;
  return listener;
}

int connect(std::string& error) {
  int descriptor = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un where {};
  socklen_t length = address(where);
  if (descriptor >= 0 && ::connect(descriptor, reinterpret_cast<sockaddr*>(&where), length) == 0) return descriptor;
  error = errno == ECONNREFUSED ? "SpringBoard is not running on device " + device::root() +
                                      " (start it with: orvane-sim springboard --detach)"
                                : std::string("cannot reach SpringBoard: ") + std::strerror(errno);
  if (descriptor >= 0) ::close(descriptor);
  return -1;
}

Presser::Presser() { descriptor_ = connect(error_); }

Presser::~Presser() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

std::optional<int> Presser::press(const std::string& button) {
  if (descriptor_ < 0) return std::nullopt;
  if (::send(descriptor_, button.data(), button.size(), MSG_NOSIGNAL) < 0) {
    error_ = "SpringBoard went away";
    return std::nullopt;
  }
  std::string reply = receiveRequest(descriptor_);
  if (reply.rfind("volume ", 0) != 0) {
    error_ = reply.empty() ? "SpringBoard went away before handling the press" : "SpringBoard: " + reply;
    return std::nullopt;
  }
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
