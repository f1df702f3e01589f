#include "sim/serve/Front.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace serve {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kAcceptPause = std::chrono::milliseconds(100);

int millisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

/// Whether the socket becomes ready for `events` before the deadline (an error or hang-up counts: the next call says it).
bool await(int descriptor, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd watched{descriptor, events, 0};
    int ready = ::poll(&watched, 1, millisecondsUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

Clock::duration seconds(time_t whole, time_t micro) {
  return std::chrono::seconds(whole) + std::chrono::microseconds(micro);
}

/// One request's connection as the library reads and writes it: first the
/// bytes read with its head, then the socket. Reading the rest of the request
/// (its body) has the read time-out in all, and each write the write time-out,
/// however slowly the other end goes.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int descriptor, std::string received, Clock::duration readTime, Clock::duration writeTime)
      : descriptor_(descriptor), received_(std::move(received)), readDeadline_(Clock::now() + readTime),
        writeTime_(writeTime) {}

  bool is_readable() const override {
    return at_ < received_.size() || await(descriptor_, POLLIN, readDeadline_);
  }
  bool is_writable() const override { return await(descriptor_, POLLOUT, Clock::now() + writeTime_); }

  ssize_t read(char* into, size_t size) override {
    if (at_ < received_.size()) {
      std::size_t count = std::min(size, received_.size() - at_);
      std::memcpy(into, received_.data() + at_, count);
      at_ += count;
      return static_cast<ssize_t>(count);
    }
    for (;;) {
      ssize_t got = ::recv(descriptor_, into, size, MSG_DONTWAIT);
      if (got >= 0) return got;
      if (errno == EINTR) continue;
      if ((errno != EAGAIN && errno != EWOULDBLOCK) || !await(descriptor_, POLLIN, readDeadline_)) return -1;
    }
  }

  /// All of it, or -1: the library writes a response's head in one call and does not go on after a short write.
  ssize_t write(const char* data, size_t size) override {
    std::string_view bytes(data, size);
    if (bytes.starts_with("HTTP/1.")) saidClose_ = bytes.find("\r\nConnection: close\r\n") != std::string_view::npos;
    auto deadline = Clock::now() + writeTime_;
    std::size_t sent = 0;
    while (sent < size) {
      ssize_t put = ::send(descriptor_, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (put > 0) {
        sent += static_cast<std::size_t>(put);
      } else if (put < 0 && errno == EINTR) {
        continue;
      } else if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && await(descriptor_, POLLOUT, deadline)) {
        continue;
      } else {
        return -1;
      }
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override { address(::getpeername, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { address(::getsockname, ip, port); }
  socket_t socket() const override { return descriptor_; }

  /// What came after this request: the beginning of the next one.
  std::string unread() const { return received_.substr(at_); }
  /// Whether the answer said the connection ends with it.
  bool saidClose() const { return saidClose_; }

 private:
  template <typename Query>
  void address(Query query, std::string& ip, int& port) const {
    sockaddr_in where{};
    socklen_t length = sizeof where;
    char text[INET_ADDRSTRLEN] = "";
    if (query(descriptor_, reinterpret_cast<sockaddr*>(&where), &length) == 0 && where.sin_family == AF_INET) {
      ::inet_ntop(AF_INET, &where.sin_addr, text, sizeof text);
      port = ntohs(where.sin_port);
    }
    ip = text;
  }

  int descriptor_;
  std::string received_;
  std::size_t at_ = 0;
  Clock::time_point readDeadline_;
  Clock::duration writeTime_;
  bool saidClose_ = false;
};

}  // namespace

Front::Front(FrontLimits limits) : limits_(limits) {}

Front::~Front() {
  for (auto& [descriptor, connection] : waiting_) ::close(descriptor);
  for (int descriptor : {listener_, poller_, wake_})
    if (descriptor >= 0) ::close(descriptor);
}

int Front::listenOnLoopback(int port) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listener_ < 0) return -1;
  int on = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<std::uint16_t>(port));
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof where;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || ::listen(listener_, SOMAXCONN) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &length) != 0)
    return -1;
  poller_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (poller_ < 0 || wake_ < 0) return -1;
  for (int descriptor : {listener_, wake_}) {
    epoll_event interest{};
    interest.events = EPOLLIN;
    interest.data.fd = descriptor;
    if (::epoll_ctl(poller_, EPOLL_CTL_ADD, descriptor, &interest) != 0) return -1;
  }
  // The library ends the event streams once this is no longer a socket.
  svr_sock_ = listener_;
  return ntohs(where.sin_port);
}

void Front::halt() {
  halting_ = true;
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(wake_, &one, sizeof one);
}

void Front::serve() {
  workers_ = std::make_unique<httplib::ThreadPool>(limits_.workers);
  nextExpiry_ = Clock::time_point::max();
  epoll_event events[64];
  while (!halting_) {
    Clock::time_point wake = nextExpiry_;
    if (acceptPaused_) wake = std::min(wake, resumeAccepting_);
    int timeout = wake == Clock::time_point::max() ? 1000 : std::min(millisecondsUntil(wake), 999) + 1;
    int count = ::epoll_wait(poller_, events, std::size(events), timeout);
    if (count < 0 && errno != EINTR) {
      std::fprintf(stderr, "orvane-sim: serve: cannot wait for connections: %s\n", std::strerror(errno));
      break;
    }
    for (int i = 0; i < count; ++i) {
      int descriptor = events[i].data.fd;
      if (descriptor == listener_) {
        acceptAll();
      } else if (descriptor == wake_) {
        std::uint64_t ignored;
        [[maybe_unused]] ssize_t read = ::read(wake_, &ignored, sizeof ignored);
        takeReturned();
      } else {
        readFrom(descriptor);
      }
    }
    if (acceptPaused_ && Clock::now() >= resumeAccepting_) {
      epoll_event interest{};
      interest.events = EPOLLIN;
      interest.data.fd = listener_;
      ::epoll_ctl(poller_, EPOLL_CTL_MOD, listener_, &interest);
      acceptPaused_ = false;
    }
    if (Clock::now() >= nextExpiry_) expire();
  }
  halting_ = true;
  svr_sock_ = INVALID_SOCKET;
  ::close(std::exchange(listener_, -1));
  for (auto& [descriptor, connection] : waiting_) ::close(descriptor);
  waiting_.clear();
  // The requests begun end: event streams once the server's events close, the others within their time-outs.
  workers_->shutdown();
  std::lock_guard lock(returnedMutex_);
  closedForReturns_ = true;
  for (auto& connection : returned_) ::close(connection.descriptor);
  returned_.clear();
}

void Front::acceptAll() {
  for (;;) {
    int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (descriptor < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        if (dropLongestWaiting()) continue;
        // Every descriptor is in a request: the new ones wait in the backlog a while.
        epoll_event interest{};
        interest.data.fd = listener_;
        ::epoll_ctl(poller_, EPOLL_CTL_MOD, listener_, &interest);
        acceptPaused_ = true;
        resumeAccepting_ = Clock::now() + kAcceptPause;
      }
      return;
    }
    // Small writes (an event, an answer) go out at once, never held back for an acknowledgement.
    int on = 1;
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (waiting_.size() >= limits_.mostWaiting) dropLongestWaiting();
    Waiting connection;
    connection.descriptor = descriptor;
    connection.since = Clock::now();
    connection.deadline = connection.since + limits_.headTime;
    adopt(std::move(connection));
  }
}

void Front::adopt(Waiting connection) {
  int descriptor = connection.descriptor;
  epoll_event interest{};
  interest.events = EPOLLIN;
  interest.data.fd = descriptor;
  if (::epoll_ctl(poller_, EPOLL_CTL_ADD, descriptor, &interest) != 0) {
    ::close(descriptor);
    return;
  }
  nextExpiry_ = std::min(nextExpiry_, connection.deadline);
  auto& kept = waiting_[descriptor] = std::move(connection);
  if (!kept.received.empty()) examine(kept);
}

void Front::readFrom(int descriptor) {
  auto found = waiting_.find(descriptor);
  if (found == waiting_.end()) return;
  Waiting& connection = found->second;
  char buffer[8192];
  // One byte past the largest head tells a head that is too large.
  std::size_t room = std::min(sizeof buffer, kLargestHead + 1 - std::min(connection.received.size(), kLargestHead));
  ssize_t got = ::recv(descriptor, buffer, room, 0);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (got <= 0) return drop(descriptor);
  if (!connection.begun) {
    connection.begun = true;
    // A kept connection waited for its next request so far; its head's time begins now.
    if (connection.served > 0) {
      connection.deadline = Clock::now() + limits_.headTime;
      nextExpiry_ = std::min(nextExpiry_, connection.deadline);
    }
  }
  connection.received.append(buffer, static_cast<std::size_t>(got));
  examine(connection);
}

void Front::examine(Waiting& connection) {
  int descriptor = connection.descriptor;
  switch (connection.reader.scan(connection.received)) {
    case HeadReader::State::Reading: return;
    case HeadReader::State::TooLarge:
      return answerAndClose(descriptor, 431,
                            "the request's header is longer than " + std::to_string(kLargestHead / 1024) + " KiB or " +
                                std::to_string(kMostHeadLines) + " lines");
    case HeadReader::State::Whole: break;
  }
  ::epoll_ctl(poller_, EPOLL_CTL_DEL, descriptor, nullptr);
  Waiting whole = std::move(connection);
  waiting_.erase(descriptor);
  workers_->enqueue([this, whole = std::move(whole)]() mutable { handle(std::move(whole)); });
}

void Front::answerAndClose(int descriptor, int status, const std::string& reason) {
  std::string body = "orvane-sim serve: " + reason + "\n";
  std::string answer = "HTTP/1.1 " + std::to_string(status) +
                       (status == 408 ? " Request Timeout" : " Request Header Fields Too Large") +
                       "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
                       "\r\nConnection: close\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n\r\n" + body;
  // A few hundred bytes into an empty send buffer: they go at once, or the client is gone.
  [[maybe_unused]] ssize_t sent = ::send(descriptor, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  ::shutdown(descriptor, SHUT_WR);
  drop(descriptor);
}

void Front::drop(int descriptor) {
  ::epoll_ctl(poller_, EPOLL_CTL_DEL, descriptor, nullptr);
  ::close(descriptor);
  waiting_.erase(descriptor);
}

bool Front::dropLongestWaiting() {
  if (waiting_.empty()) return false;
  auto longest = std::min_element(waiting_.begin(), waiting_.end(),
                                  [](const auto& a, const auto& b) { return a.second.since < b.second.since; });
  drop(longest->first);
  return true;
}

void Front::expire() {
  auto now = Clock::now();
  nextExpiry_ = Clock::time_point::max();
  std::vector<int> late;
  for (auto& [descriptor, connection] : waiting_) {
    if (connection.deadline <= now)
      late.push_back(descriptor);
    else
      nextExpiry_ = std::min(nextExpiry_, connection.deadline);
  }
  for (int descriptor : late) {
    // A connection that said nothing (a browser's spare one, or one kept between requests) just ends.
    if (waiting_[descriptor].begun)
      answerAndClose(descriptor, 408,
                     "the request's header did not come within " +
                         std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limits_.headTime).count()) + " s");
    else
      drop(descriptor);
  }
}

void Front::takeReturned() {
  std::vector<Waiting> back;
  {
    std::lock_guard lock(returnedMutex_);
    back.swap(returned_);
  }
  for (auto& connection : back) {
    if (waiting_.size() >= limits_.mostWaiting) dropLongestWaiting();
    adopt(std::move(connection));
  }
}

void Front::handle(Waiting connection) {
  int descriptor = connection.descriptor;
  ConnectionStream stream(descriptor, std::move(connection.received), seconds(read_timeout_sec_, read_timeout_usec_),
                          seconds(write_timeout_sec_, write_timeout_usec_));
  std::size_t served = connection.served + 1;
  bool last = served >= keep_alive_max_count_ || halting_;
  bool closed = false;
  bool answered = process_request(stream, last, closed, nullptr);
  if (!answered || closed || last || stream.saidClose()) {
    ::close(descriptor);
    return;
  }
  Waiting next;
  next.descriptor = descriptor;
  next.received = stream.unread();
  next.served = served;
  next.begun = !next.received.empty();
  next.since = Clock::now();
  next.deadline = next.since + (next.begun ? Clock::duration(limits_.headTime) : std::chrono::seconds(keep_alive_timeout_sec_));
  {
    std::lock_guard lock(returnedMutex_);
    if (closedForReturns_ || halting_) {
      ::close(descriptor);
      return;
    }
    returned_.push_back(std::move(next));
  }
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(wake_, &one, sizeof one);
}

}  // namespace serve
