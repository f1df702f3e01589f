#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The per-device registry behind the Darwin notify centre. Every observing
// process has an entry in the device's "/var/run/notify": a small shared file
// listing the names it observes, each with a pending mark, and a datagram
// socket named after the entry that wakes its delivery thread. A post sets the
// mark at every entry observing the name, then rings the entry's socket.
namespace notify {

/// The key of a name in the shared tables, the same in every process.
std::uint64_t keyOf(std::string_view name);

/// The host directory of the current device's registry.
std::string registryDirectory();

/// A name for this process's entry that no other process, past or present, uses.
std::string newToken();

/// Binds the datagram socket of an entry; -1 on failure.
int bindDoorbell(const std::string& token);

/// Wakes the entry's delivery thread without blocking; false if no process listens any more.
bool ring(int sender, std::string_view token);

/// This process's entry in one device's registry.
class Endpoint {
 public:
  /// Publishes an empty entry; nullptr if the registry cannot be written.
  static std::unique_ptr<Endpoint> create(const std::string& directory, const std::string& token);
  ~Endpoint();
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  const std::string& directory() const { return directory_; }

  /// False if the table is full.
  bool watch(std::uint64_t key);
  void unwatch(std::uint64_t key);
  /// Marks a watched name pending, as a post does.
  void mark(std::uint64_t key);
  /// Clears the pending marks, returning their keys in the order they were first posted.
  std::vector<std::uint64_t> takePending();

  /// Drops the mapping but leaves the entry in place, for a forked child whose
  /// entry belongs to its parent.
  void abandon();

 private:
  Endpoint(std::string directory, std::string path, void* table);

  std::string directory_;
  std::string path_;
  void* table_;
};

/// Marks the name pending at every entry of the current device that observes
/// it and rings each. Never blocks on a receiver; removes entries of processes
/// that are gone.
void post(std::uint64_t key);

}  // namespace notify
