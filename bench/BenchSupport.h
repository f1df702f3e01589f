#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

// What the benchmarks share: a device with the hook library installed, time,
// percentiles, and SpringBoard's side of a reload measured from another process.
namespace bench {

/// A new device under the temporary directory with the hook library and the
/// sound themes installed, made the root of this process.
std::string makeDevice(const char* prefix);

double monotonicMicroseconds();
/// The value below which `fraction` of the samples lie.
double percentile(std::vector<double> samples, double fraction);

/// A fresh process that loads the hook library as SpringBoard does and, after
/// each reload of its snapshot, writes a line "<delivered> <reloaded> <volume-up
/// name>": the time the notification reached it, before the library's reload,
/// and the time that reload was done. Call runReloadPeerIfAsked first thing in main.
struct ReloadPeer {
  pid_t pid = -1;
  FILE* replies = nullptr;
  /// When the notification behind the last reply reached the peer.
  double delivered = 0;
  static ReloadPeer start(const char* executable);
  /// Waits for the reply showing `name`; returns the time its reload finished.
  double waitForName(const std::string& name);
  void stop();
};
bool runReloadPeerIfAsked(int argc, char** argv);

}  // namespace bench
