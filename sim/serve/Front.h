#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/serve/Requests.h"

// The server's front door. cpp-httplib gives each connection a thread of its
// pool from the moment it is accepted, and reads a head of any length there, so
// a few clients sending slowly, or without end, hold every thread or all the
// memory before any token is looked at. Here one thread reads the heads of all
// connections at once, each bounded in lines and bytes (HeadReader) and in
// time, and only a whole head goes on to a worker, where the routes and their
// checks run as before.
namespace serve {

struct FrontLimits {
  /// From the connection (or, between requests on a kept connection, from its
  /// first byte) a head has this long to arrive whole; then 408.
  std::chrono::milliseconds headTime{5000};
  /// Connections reading their heads at once; past it, the one that has waited
  /// longest is dropped, so that new ones, which send their heads at once, get in.
  std::size_t mostWaiting = 400;
  std::size_t workers = 32;
};

class Front : public httplib::Server {
 public:
  explicit Front(FrontLimits limits = {});
  ~Front() override;
  Front(const Front&) = delete;
  Front& operator=(const Front&) = delete;

  /// Listens on 127.0.0.1 at `port` (0: a free one): the port, or -1.
  int listenOnLoopback(int port);
  /// Serves until halt(); returns once the requests begun have been answered.
  void serve();
  /// From any thread.
  void halt();

 private:
  using Clock = std::chrono::steady_clock;

  /// A connection whose head is being read.
  struct Waiting {
    int descriptor = -1;
    std::string received;
    HeadReader reader;
    Clock::time_point since, deadline;
    /// Whether a byte of this head has come.
    bool begun = false;
    std::size_t served = 0;
  };

  void acceptAll();
  /// Watches a connection for its next head; it may already hold it.
  void adopt(Waiting connection);
  void readFrom(int descriptor);
  void examine(Waiting& connection);
  /// 408 or 431.
  void answerAndClose(int descriptor, int status, const std::string& reason);
  void drop(int descriptor);
  bool dropLongestWaiting();
  void expire();
  void takeReturned();
  /// On a worker: the request whose head is read, then the connection goes back or is closed.
  void handle(Waiting connection);

  FrontLimits limits_;
  int listener_ = -1, poller_ = -1, wake_ = -1;
  std::atomic<bool> halting_{false};
  bool acceptPaused_ = false;
  Clock::time_point resumeAccepting_, nextExpiry_;
  std::unordered_map<int, Waiting> waiting_;
  std::unique_ptr<httplib::ThreadPool> workers_;

  std::mutex returnedMutex_;
  std::vector<Waiting> returned_;
  bool closedForReturns_ = false;
};

}  // namespace serve
