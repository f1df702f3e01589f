#pragma once

#include <sys/socket.h>
#include <sys/un.h>

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
//
// The registry is shared with every process of the device, so nothing in it is
// trusted: an entry is checked for its size before each use of its mapping,
// and the use is guarded against the file being cut short right after (it
// would fault; the use then ends as if the entry were damaged), a damaged or
// vanished entry is re-created by its owner, and the doorbells' datagrams carry
// no meaning.
namespace notify {

/// The key of a name in the shared tables, the same in every process.
std::uint64_t keyOf(std::string_view name);

/// The host directory of the current device's registry.
std::string registryDirectory();

/// A name for this process's entry that no other process, past or present, uses.
std::string newToken();

/// The abstract socket address of an entry's doorbell; false if the token is too long for one.
bool doorbellAddress(std::string_view token, sockaddr_un& address, socklen_t& length);

/// Binds the datagram socket of an entry; -1 on failure.
int bindDoorbell(const std::string& token);

/// Takes every datagram queued at a doorbell without blocking, whatever it holds.
void drainDoorbell(int doorbell);

/// Waits until a doorbell has a datagram, then takes it with every other one
/// queued, in one call. False if the doorbell can no longer be read.
bool awaitDoorbell(int doorbell);

/// A socket connected to an entry's doorbell, to ring it; -1 on failure.
int connectDoorbell(std::string_view token);

/// Rings a doorbell through a socket from connectDoorbell without blocking. A
/// full queue counts as rung: its receiver has wake-ups pending.
enum class Ring { Rung, NobodyListens };
Ring ringDoorbell(int bell);

/// This process's entry in one device's registry.
class Endpoint {
 public:
  enum class Directory { Make, MustExist };
  /// Publishes an empty entry; nullptr if the registry cannot be written.
  static std::unique_ptr<Endpoint> create(const std::string& directory, const std::string& token,
                                          Directory making = Directory::Make);
  ~Endpoint();
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  const std::string& directory() const { return directory_; }

  /// False if the table is full or the entry damaged.
  bool watch(std::uint64_t key);
  void unwatch(std::uint64_t key);
  /// Marks a watched name pending, as a post does.
  void mark(std::uint64_t key);
  /// Clears the pending marks, returning their keys in the order they were first posted.
  std::vector<std::uint64_t> takePending();

  enum class Condition { Intact, Damaged, Missing };
  /// Whether the registry still holds this very entry, whole, with every key in
  /// `watched`. A damaged or missing entry loses posts and is to be replaced.
  Condition condition(const std::vector<std::uint64_t>& watched) const;

  /// Drops the mapping but leaves the entry in place, for a forked child whose
  /// entry belongs to its parent, or for an entry already replaced.
  void abandon();

 private:
  Endpoint(std::string directory, std::string path, int descriptor, void* table);
  /// The table, or null when its file no longer has the table's size.
  void* table() const;

  std::string directory_;
  std::string path_;
  int descriptor_;
  void* table_;
};

/// Marks the name pending at every entry of the current device that observes
/// it and rings each, the entry named `ownToken` (the poster's own) last.
/// Never blocks on a receiver; removes entries of processes that are gone.
void post(std::uint64_t key, std::string_view ownToken = {});

}  // namespace notify
