#pragma once

#include <sys/types.h>

#include "platform/result/Result.h"

// The device's SpringBoard as the page servers share it. Any number of servers
// may show one device; the one that finds no SpringBoard starts it, and it is
// stopped when the last server using it ends, whichever that is. A SpringBoard
// that someone else started is never stopped by a server.
//
// The servers meet in the device's lock file kUsersPath: each holds a shared
// lock on its first byte for as long as it runs (the kernel lets go of it when
// a server dies), and an exclusive lock on its second byte while it starts
// SpringBoard or decides to stop it. The file holds the pid of the SpringBoard
// that a server started.
namespace serve {

inline constexpr const char* kUsersPath = "/var/run/SpringBoard.servers";

class SharedSpringBoard {
 public:
  SharedSpringBoard() = default;
  ~SharedSpringBoard() { leave(); }
  SharedSpringBoard(const SharedSpringBoard&) = delete;
  SharedSpringBoard& operator=(const SharedSpringBoard&) = delete;

  /// Counts this server among SpringBoard's users, and starts SpringBoard when
  /// none runs. An error, saying what follows, when the lock file cannot be
  /// had (the SpringBoard started is then this server's alone) or SpringBoard
  /// not started (the server shows the device without it).
  orvane::Result<void> join();
  /// Whether this server started SpringBoard.
  bool started() const { return started_ > 0; }
  /// Ends this server's use; when no other server uses it, stops the
  /// SpringBoard that a server started. Whether it stopped SpringBoard.
  bool leave();

 private:
  int lock_ = -1;
  pid_t started_ = -1;
};

}  // namespace serve
