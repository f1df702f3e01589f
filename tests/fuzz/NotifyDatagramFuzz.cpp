// Bytes as a datagram at a doorbell of the notify registry, taken as the
// delivery side takes it: its contents mean nothing, and must neither wake
// deliveries of their own nor lose the marks of real posts.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <random>

#include "platform/corefoundation/NotifyRegistry.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/support/TemporaryDevice.h"

namespace {

const std::uint64_t kKey = notify::keyOf("com.quillmark.orvane/settingschanged");

struct Receiver {
  testsupport::TemporaryDevice device;
  std::string token;
  int doorbell = -1;
  int sender = -1;
  std::unique_ptr<notify::Endpoint> entry;
  sockaddr_un address{};
  socklen_t length = 0;

  Receiver() {
    token = notify::newToken();
    doorbell = notify::bindDoorbell(token);
    sender = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    entry = notify::Endpoint::create(notify::registryDirectory(), token);
    if (doorbell < 0 || sender < 0 || !entry || !entry->watch(kKey) ||
        !notify::doorbellAddress(token, address, length))
      std::abort();
  }
  ~Receiver() {
    entry.reset();
    ::close(doorbell);
    ::close(sender);
  }
};

Receiver& receiver() {
  static Receiver instance;
  return instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Receiver& at = receiver();
  ::sendto(at.sender, data, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&at.address), at.length);
  notify::drainDoorbell(at.doorbell);
  if (!at.entry->takePending().empty()) std::abort();
  notify::post(kKey);
  ::sendto(at.sender, data, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&at.address), at.length);
  // The post has rung, so this takes what is queued without waiting, as the delivery thread does.
  if (!notify::awaitDoorbell(at.doorbell)) std::abort();
  char left;
  if (::recv(at.doorbell, &left, 1, MSG_DONTWAIT) >= 0 || errno != EAGAIN) std::abort();
  if (at.entry->takePending() != std::vector<std::uint64_t>{kKey}) std::abort();
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  std::vector<std::string> seeds = {"", std::string(1, '\1'), std::string(64, 'x'), std::string(65, 'y')};
  std::mt19937 random(12);
  std::string noise(4096, '\0');
  for (char& byte : noise) byte = static_cast<char>(random());
  seeds.push_back(noise);
  seeds.push_back(std::string(200000, '\0'));
  return seeds;
}
