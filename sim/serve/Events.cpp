#include "sim/serve/Events.h"

#include <chrono>

namespace serve {

std::string Event::wire() const {
  // Each line of the data on a "data:" line of its own: a line break never ends the event early.
  std::string wire = "id: " + std::to_string(sequence) + "\nevent: " + type + "\n";
  std::size_t start = 0;
  for (;;) {
    std::size_t end = data.find_first_of("\r\n", start);
    wire += "data: " + data.substr(start, end == std::string::npos ? std::string::npos : end - start) + "\n";
    if (end == std::string::npos) break;
    start = end + (data.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return wire + "\n";
}

void EventHub::publish(std::string type, std::string data) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back(Event{next_++, std::move(type), std::move(data)});
    if (events_.size() > kKept) events_.pop_front();
  }
  changed_.notify_all();
}

std::uint64_t EventHub::next() const {
  std::lock_guard lock(mutex_);
  return next_;
}

std::optional<Event> EventHub::wait(std::uint64_t sequence, int waitMs) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return closed_ || next_ > sequence; });
  if (closed_ || next_ <= sequence) return std::nullopt;
  if (events_.empty() || events_.front().sequence > sequence) return Event{next_ - 1, "reset", "{}"};
  return events_[sequence - events_.front().sequence];
}

void EventHub::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool EventHub::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace serve
