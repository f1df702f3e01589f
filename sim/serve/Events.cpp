#include "sim/serve/Events.h"

#include <chrono>

namespace serve {

std::string Event::wire() const {
  return "id: " + std::to_string(sequence) + "\nevent: " + type + "\ndata: " + data + "\n\n";
}

void EventHub::publish(std::string type, std::string data) {
  {
    std::lock_guard lock(mutex_);
    // One line of data: a newline would end the event early.
    for (char& c : data)
      if (c == '\n' || c == '\r') c = ' ';
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
