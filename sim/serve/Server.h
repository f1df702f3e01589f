#pragma once

#include <string>

// `orvane-sim serve`: the device in a web browser. A server on 127.0.0.1 shows
// the Settings app's screen, the volume buttons, the ring/silent switch, the
// volume and the speaker log, and pushes every sound the speaker plays to the
// open pages, which play the same bytes.
namespace serve {

struct Options {
  /// 0 picks a free port.
  int port = 0;
};

/// Runs until SIGINT or SIGTERM; the exit status.
int run(const Options& options);

}  // namespace serve
