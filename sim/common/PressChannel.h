#pragma once

#include <optional>
#include <string>

// How other processes of a device press SpringBoard's hardware buttons: a
// connection to SpringBoard's button socket, one request and one reply per press.
namespace pressing {

/// The listening socket of SpringBoard; an error text if it cannot be had
/// (another SpringBoard already runs on the device).
struct Listener {
  int descriptor = -1;
  std::string error;
};
Listener listen();

/// A connection to SpringBoard's button socket; -1 with `error` saying why not.
int connect(std::string& error);

/// Presses a button ("up" or "down") once and waits until SpringBoard has
/// handled the press. Returns the volume steps after it, or an error text.
class Presser {
 public:
  /// Connects; `error()` says why not.
  Presser();
  ~Presser();
  Presser(const Presser&) = delete;
  Presser& operator=(const Presser&) = delete;

  bool connected() const { return descriptor_ >= 0; }
  const std::string& error() const { return error_; }
  std::optional<int> press(const std::string& button);
  /// The volume steps now, without pressing.
  std::optional<int> volume() { return press("volume"); }

 private:
  int descriptor_ = -1;
  std::string error_;
};

/// Reads one request from a connection; empty at its end.
std::string receiveRequest(int connection);
/// Sends without ever waiting: false when the client does not take its replies,
/// which must not hold up SpringBoard's other clients.
bool sendReply(int connection, const std::string& reply);

}  // namespace pressing
