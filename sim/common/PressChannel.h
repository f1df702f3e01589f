#pragma once

#include <string>

#include "platform/result/Result.h"

// How other processes of a device press SpringBoard's hardware buttons: a
// connection to SpringBoard's button socket, one request and one reply per press.
namespace pressing {

/// The listening socket of SpringBoard; an error if it cannot be had
/// (another SpringBoard already runs on the device).
orvane::Result<int> listen();

/// A connection to SpringBoard's button socket. The error's code is
/// ECONNREFUSED when no SpringBoard runs on the device.
orvane::Result<int> connect();

/// Presses a button ("up" or "down") once and waits until SpringBoard has
/// handled the press. Returns the volume steps after it.
class Presser {
 public:
  static orvane::Result<Presser> connect();
  ~Presser();
  Presser(Presser&& other) noexcept;
  Presser& operator=(Presser&&) = delete;
  Presser(const Presser&) = delete;
  Presser& operator=(const Presser&) = delete;

  orvane::Result<int> press(const std::string& button);
  /// The volume steps now, without pressing.
  orvane::Result<int> volume() { return press("volume"); }

 private:
  explicit Presser(int descriptor) : descriptor_(descriptor) {}
  int descriptor_ = -1;
};

/// Reads one request from a connection; empty at its end.
std::string receiveRequest(int connection);
/// Sends without ever waiting: false when the client does not take its replies,
/// which must not hold up SpringBoard's other clients.
bool sendReply(int connection, const std::string& reply);

}  // namespace pressing
