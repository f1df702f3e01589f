#include "platform/corefoundation/NotifyRegistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <fmt/format.h>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"

namespace notify {
namespace {

constexpr std::uint32_t kMagic = 0x4f4e5431;
constexpr std::uint32_t kSlotCount = 1024;

struct Slot {
  std::atomic<std::uint64_t> key;
  // The post sequence number of the first unconsumed post, or 0.
  std::atomic<std::uint64_t> pending;
};

struct Table {
  std::uint32_t magic;
  std::uint32_t slotCount;
  std::atomic<std::uint32_t> used;
  std::atomic<std::uint64_t> sequence;
  Slot slots[kSlotCount];
};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free && std::atomic<std::uint32_t>::is_always_lock_free,
              "the table is shared between processes, so its atomics must not hide a lock");

std::uint32_t usedSlots(const Table& table) {
  return std::min(table.used.load(std::memory_order_acquire), kSlotCount);
}

bool markIn(Table& table, std::uint64_t key) {
  for (std::uint32_t i = 0, used = usedSlots(table); i < used; ++i) {
    Slot& slot = table.slots[i];
    if (slot.key.load(std::memory_order_acquire) != key) continue;
    std::uint64_t expected = 0;
    slot.pending.compare_exchange_strong(expected, table.sequence.fetch_add(1) + 1);
    return true;
  }
  return false;
}

Table* mapTable(const std::string& path) {
  int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (descriptor < 0) return nullptr;
  struct stat info {};
  void* memory = MAP_FAILED;
  if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == sizeof(Table))
    memory = ::mmap(nullptr, sizeof(Table), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
  ::close(descriptor);
  if (memory == MAP_FAILED) return nullptr;
  auto* table = static_cast<Table*>(memory);
  if (table->magic != kMagic || table->slotCount != kSlotCount) {
    ::munmap(memory, sizeof(Table));
    return nullptr;
  }
  return table;
}

bool doorbellAddress(std::string_view token, sockaddr_un& address, socklen_t& length) {
  std::string name = fmt::format("orvane-notify:{}", token);
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof(address.sun_path)) return false;
  // A leading NUL puts the socket in the abstract namespace, which vanishes with its process.
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return true;
}

// The tables of the entries posters have seen, kept mapped between posts.
struct CachedTable {
  // Null for a file that is not an entry.
  Table* table;
  // An entry that moves away and back keeps its name but not its file.
  ino_t inode;
  std::uint64_t generation;
};

void unmap(CachedTable& cached) {
  if (cached.table) ::munmap(cached.table, sizeof(Table));
  cached.table = nullptr;
}

struct PosterCache {
  std::mutex mutex;
  std::string directory;
  std::uint64_t generation = 0;
  std::unordered_map<std::string, CachedTable> tables;

  void forget() {
    for (auto& [token, cached] : tables) unmap(cached);
    tables.clear();
  }
};

PosterCache& posterCache() {
  static auto* cache = new PosterCache;
  return *cache;
}

// A thread may be posting at the moment another forks, so the child must not inherit the lock held.
[[maybe_unused]] const int forkHandlers = pthread_atfork(
    [] { posterCache().mutex.lock(); }, [] { posterCache().mutex.unlock(); },
    [] { posterCache().mutex.unlock(); });

}  // namespace

std::uint64_t keyOf(std::string_view name) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : name) {
    hash ^= byte;
    hash *= 1099511628211ull;
  }
  return hash == 0 ? 1 : hash;
}

std::string registryDirectory() { return device::hostPath("/var/run/notify"); }

std::string newToken() {
  std::uint32_t random = 0;
  if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
    random = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return fmt::format("{}-{:08x}", ::getpid(), random);
}

int bindDoorbell(const std::string& token) {
  sockaddr_un address;
  socklen_t length;
  if (!doorbellAddress(token, address, length)) return -1;
  int descriptor = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return -1;
  if (::bind(descriptor, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

bool ring(int sender, std::string_view token) {
  sockaddr_un address;
  socklen_t length;
  if (!doorbellAddress(token, address, length)) return true;
  const char bell = 1;
  for (;;) {
    if (::sendto(sender, &bell, 1, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address), length) >= 0)
      return true;
    if (errno == EINTR) continue;
    // A full queue (EAGAIN) means the receiver has wake-ups pending that will find the mark.
    return errno != ECONNREFUSED && errno != ENOENT;
  }
}

std::unique_ptr<Endpoint> Endpoint::create(const std::string& directory, const std::string& token) {
  if (!files::makeDirectories(directory)) return nullptr;
  std::string path = directory + "/" + token;
  // The table is filled under a hidden name, so a poster never maps a half-made one.
  std::string draft = directory + "/." + token;
  int descriptor = ::open(draft.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (descriptor < 0) return nullptr;
  void* memory = MAP_FAILED;
  if (::ftruncate(descriptor, sizeof(Table)) == 0)
    memory = ::mmap(nullptr, sizeof(Table), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
  ::close(descriptor);
  if (memory == MAP_FAILED) {
    ::unlink(draft.c_str());
    return nullptr;
  }
  auto* table = new (memory) Table();
  table->magic = kMagic;
  table->slotCount = kSlotCount;
  if (::rename(draft.c_str(), path.c_str()) != 0) {
    ::munmap(memory, sizeof(Table));
    ::unlink(draft.c_str());
    return nullptr;
  }
  return std::unique_ptr<Endpoint>(new Endpoint(directory, std::move(path), table));
}

Endpoint::Endpoint(std::string directory, std::string path, void* table)
    : directory_(std::move(directory)), path_(std::move(path)), table_(table) {}

Endpoint::~Endpoint() {
  if (!table_) return;
  ::unlink(path_.c_str());
  ::munmap(table_, sizeof(Table));
}

void Endpoint::abandon() {
  if (table_) ::munmap(table_, sizeof(Table));
  table_ = nullptr;
}

bool Endpoint::watch(std::uint64_t key) {
  if (!table_) return false;
  Table& table = *static_cast<Table*>(table_);
  std::uint32_t used = usedSlots(table);
  Slot* vacant = nullptr;
  for (std::uint32_t i = 0; i < used; ++i) {
    std::uint64_t present = table.slots[i].key.load(std::memory_order_relaxed);
    if (present == key) return true;
    if (present == 0 && !vacant) vacant = &table.slots[i];
  }
  if (vacant) {
    vacant->pending.store(0);
    vacant->key.store(key, std::memory_order_release);
    return true;
  }
  if (used == kSlotCount) return false;
  table.slots[used].pending.store(0);
  table.slots[used].key.store(key, std::memory_order_release);
  table.used.store(used + 1, std::memory_order_release);
  return true;
}

void Endpoint::unwatch(std::uint64_t key) {
  if (!table_) return;
  Table& table = *static_cast<Table*>(table_);
  for (std::uint32_t i = 0, used = usedSlots(table); i < used; ++i) {
    if (table.slots[i].key.load(std::memory_order_relaxed) != key) continue;
    table.slots[i].key.store(0);
    table.slots[i].pending.store(0);
  }
}

void Endpoint::mark(std::uint64_t key) {
  if (table_) markIn(*static_cast<Table*>(table_), key);
}

std::vector<std::uint64_t> Endpoint::takePending() {
  std::vector<std::uint64_t> keys;
  if (!table_) return keys;
  Table& table = *static_cast<Table*>(table_);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> marked;
  for (std::uint32_t i = 0, used = usedSlots(table); i < used; ++i) {
    std::uint64_t sequence = table.slots[i].pending.exchange(0);
    std::uint64_t key = table.slots[i].key.load();
    if (sequence != 0 && key != 0) marked.emplace_back(sequence, key);
  }
  std::sort(marked.begin(), marked.end());
  keys.reserve(marked.size());
  for (auto& [sequence, key] : marked) keys.push_back(key);
  return keys;
}

void post(std::uint64_t key) {
  std::string directory = registryDirectory();
  PosterCache& cache = posterCache();
  std::lock_guard lock(cache.mutex);
  if (cache.directory != directory) {
    cache.forget();
    cache.directory = directory;
  }
  DIR* listing = ::opendir(directory.c_str());
  if (!listing) {
    cache.forget();
    return;
  }
  std::uint64_t generation = ++cache.generation;
  int sender = -1;
  while (const dirent* entry = ::readdir(listing)) {
    if (entry->d_name[0] == '.') continue;
    std::string token = entry->d_name;
    auto [found, inserted] = cache.tables.try_emplace(token, CachedTable{nullptr, 0, 0});
    CachedTable& cached = found->second;
    if (inserted || cached.inode != entry->d_ino) {
      unmap(cached);
      cached.table = mapTable(directory + "/" + token);
      cached.inode = entry->d_ino;
    }
    cached.generation = generation;
    if (!cached.table || !markIn(*cached.table, key)) continue;
    if (sender < 0) sender = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sender >= 0 && !ring(sender, token)) {
      ::unlink((directory + "/" + token).c_str());
      unmap(cached);
      cache.tables.erase(found);
    }
  }
  ::closedir(listing);
  // A socket of its own per post: datagrams stuck at a stalled receiver are
  // charged to the sending socket, and must not use up the budget of later posts.
  if (sender >= 0) ::close(sender);
  for (auto item = cache.tables.begin(); item != cache.tables.end();) {
    if (item->second.generation == generation) {
      ++item;
      continue;
    }
    unmap(item->second);
    item = cache.tables.erase(item);
  }
}

}  // namespace notify
