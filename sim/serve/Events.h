#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

// Server-sent events of the web view: each published event goes to every open
// page, in order. A page that falls too far behind starts over from the state.
namespace serve {

struct Event {
  std::uint64_t sequence = 0;
  std::string type;
  /// JSON text.
  std::string data;

  /// The event as it goes on the wire.
  std::string wire() const;
};

class EventHub {
 public:
  static constexpr std::size_t kKept = 256;

  void publish(std::string type, std::string data);
  /// The sequence number the next event will carry.
  std::uint64_t next() const;
  /// The event numbered `sequence`, waiting for it at most `waitMs`; none on
  /// time-out or close. An event no longer kept comes back with type "reset".
  std::optional<Event> wait(std::uint64_t sequence, int waitMs);
  /// Wakes every waiter and ends the streams.
  void close();
  bool closed() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Event> events_;
  std::uint64_t next_ = 1;
  bool closed_ = false;
};

}  // namespace serve
