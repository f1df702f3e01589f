#include "platform/corefoundation/NotifyRegistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
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
#include <optional>
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

// A table lives in a file that any process of the device may cut short, and
// touching a mapped page past the file's new end raises SIGBUS. Its size is
// checked before each use, but it may be cut short right after the check: so
// every use also runs guarded, and a fault ends it as if the table were damaged.
// Volatile: only the handler reads it, so the compiler would drop its stores as dead.
thread_local sigjmp_buf* volatile faultLanding = nullptr;
struct sigaction busActionBefore;

void onBusError(int signal, siginfo_t* info, void* context) {
  if (sigjmp_buf* landing = faultLanding) {
    faultLanding = nullptr;
    // Blocked while this handler runs; the jump out would leave it blocked.
    sigset_t bus;
    sigemptyset(&bus);
    sigaddset(&bus, SIGBUS);
    pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
    siglongjmp(*landing, 1);
  }
  // Not a table's: handled as it would have been without this handler.
  if (busActionBefore.sa_flags & SA_SIGINFO) {
    busActionBefore.sa_sigaction(signal, info, context);
  } else if (busActionBefore.sa_handler != SIG_DFL && busActionBefore.sa_handler != SIG_IGN) {
    busActionBefore.sa_handler(signal);
  } else {
    // Returning runs the faulting instruction again, now to the default end.
    ::sigaction(SIGBUS, &busActionBefore, nullptr);
  }
}

void installBusHandler() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &busActionBefore);
  });
}

/// Runs `use` on a mapped table; false if the table's file was cut short under it.
/// `use` must neither allocate nor take locks: a fault leaves it halfway.
template <class Use>
bool guarded(Use&& use) {
  installBusHandler();
  sigjmp_buf landing;
  // The mask is not saved: that would cost every use a system call.
  if (sigsetjmp(landing, 0) != 0) return false;
  faultLanding = &landing;
  // The fences keep every access of the table between the two stores.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  use();
  std::atomic_signal_fence(std::memory_order_seq_cst);
  faultLanding = nullptr;
  return true;
}

bool hasTableSize(int descriptor) {
  struct stat info {};
  return ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == sizeof(Table);
}

bool validTable(const Table& table) { return table.magic == kMagic && table.slotCount == kSlotCount; }

// Opens and maps an entry named in the directory; the descriptor stays open so
// the size can be checked before each use of the mapping.
Table* mapEntry(int directory, const char* name, int& descriptor) {
  descriptor = ::openat(directory, name, O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (descriptor < 0) return nullptr;
  void* memory = MAP_FAILED;
  if (hasTableSize(descriptor))
    memory = ::mmap(nullptr, sizeof(Table), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
  bool valid = false;
  if (memory != MAP_FAILED && guarded([&] { valid = validTable(*static_cast<Table*>(memory)); }) && valid)
    return static_cast<Table*>(memory);
  if (memory != MAP_FAILED) ::munmap(memory, sizeof(Table));
  ::close(descriptor);
  descriptor = -1;
  return nullptr;
}

constexpr const char* kGenerationFile = ".generation";

std::uint64_t randomWord() {
  std::uint64_t random = 0;
  if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random))
    random = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
             (static_cast<std::uint64_t>(::getpid()) << 40);
  return random;
}

// Every process that adds or removes an entry writes a fresh value to the
// registry's generation file, so posters list the directory only when it changed.
void bumpGeneration(const std::string& directory) {
  int descriptor = ::open((directory + "/" + kGenerationFile).c_str(),
                          O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644);
  if (descriptor < 0) return;
  struct stat info {};
  std::uint64_t value = randomWord();
  if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode))
    [[maybe_unused]] ssize_t written = ::pwrite(descriptor, &value, sizeof value, 0);
  ::close(descriptor);
}

// An entry of the registry as a poster sees it.
struct KnownEntry {
  ino_t inode = 0;
  int descriptor = -1;
  // Null for a file that is not an entry.
  Table* table = nullptr;
  // Connected to the entry's doorbell once it was first rung.
  int bell = -1;
  bool listed = false;

  void drop() {
    if (table) ::munmap(table, sizeof(Table));
    if (descriptor >= 0) ::close(descriptor);
    if (bell >= 0) ::close(bell);
    table = nullptr;
    descriptor = bell = -1;
  }
};

Ring ring(KnownEntry& entry, std::string_view token) {
  if (entry.bell < 0) {
    entry.bell = connectDoorbell(token);
    if (entry.bell < 0) return errno == ECONNREFUSED || errno == ENOENT ? Ring::NobodyListens : Ring::Rung;
  }
  // Each entry has a socket of its own: datagrams stuck at a stalled receiver
  // use up that socket's budget only, never that of other entries.
  return ringDoorbell(entry.bell);
}

struct PosterCache {
  std::mutex mutex;
  std::string directory;
  int generationFile = -1;
  // The generation the entries were last listed at; none if they must be listed anew.
  std::optional<std::uint64_t> listedAt;
  std::unordered_map<std::string, KnownEntry> entries;

  void forget() {
    for (auto& [token, entry] : entries) entry.drop();
    entries.clear();
    if (generationFile >= 0) ::close(generationFile);
    generationFile = -1;
    listedAt.reset();
  }

  std::optional<std::uint64_t> generation() {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (generationFile < 0)
        generationFile = ::open((directory + "/" + kGenerationFile).c_str(),
                                O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
      if (generationFile < 0) return std::nullopt;
      struct stat info {};
      // A file replaced since it was opened is unlinked: open the new one.
      if (::fstat(generationFile, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink > 0) {
        std::uint64_t value = 0;
        if (::pread(generationFile, &value, sizeof value, 0) != static_cast<ssize_t>(sizeof value))
          return std::nullopt;
        return value;
      }
      ::close(generationFile);
      generationFile = -1;
    }
    return std::nullopt;
  }

  bool list() {
    int handle = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    DIR* listing = handle >= 0 ? ::fdopendir(handle) : nullptr;
    if (!listing) {
      if (handle >= 0) ::close(handle);
      return false;
    }
    for (auto& [token, entry] : entries) entry.listed = false;
    while (const dirent* item = ::readdir(listing)) {
      if (item->d_name[0] == '.' || (item->d_type != DT_REG && item->d_type != DT_UNKNOWN)) continue;
      auto [found, inserted] = entries.try_emplace(item->d_name);
      KnownEntry& entry = found->second;
      if (inserted || entry.inode != item->d_ino) {
        entry.drop();
        entry.table = mapEntry(::dirfd(listing), item->d_name, entry.descriptor);
        entry.inode = item->d_ino;
      }
      entry.listed = true;
    }
    ::closedir(listing);
    for (auto item = entries.begin(); item != entries.end();) {
      if (item->second.listed) {
        ++item;
        continue;
      }
      item->second.drop();
      item = entries.erase(item);
    }
    return true;
  }

  // Removes the entry of a process that is gone, unless its name has been taken by a new file meanwhile.
  void remove(const std::string& token, KnownEntry& entry) {
    std::string path = directory + "/" + token;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && info.st_ino == entry.inode) ::unlink(path.c_str());
    entry.drop();
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

// Marks the name at one entry and rings it; an entry whose process is gone is
// removed from the registry, and NobodyListens tells the caller to forget it.
Ring notifyEntry(PosterCache& cache, std::uint64_t key, std::pair<const std::string, KnownEntry>& item) {
  KnownEntry& entry = item.second;
  bool marked = false;
  if (entry.table && (!hasTableSize(entry.descriptor) || !guarded([&] { marked = markIn(*entry.table, key); }))) {
    // Cut short or grown by someone: never touched again; its owner makes a new one.
    entry.drop();
  }
  if (!entry.table || !marked || ring(entry, item.first) == Ring::Rung) return Ring::Rung;
  cache.remove(item.first, entry);
  return Ring::NobodyListens;
}

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
  return fmt::format("{}-{:08x}", ::getpid(), static_cast<std::uint32_t>(randomWord()));
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

namespace {

constexpr int kBatch = 16;

// Takes up to a batch of datagrams, returning how many; -1 if none could be
// taken. With MSG_WAITFORONE it blocks for the first only.
int takeDatagrams(int doorbell, int flags) {
  // Longer datagrams are cut short, and descriptors passed along are closed by the kernel unread.
  char bytes[kBatch][16];
  iovec vectors[kBatch];
  mmsghdr messages[kBatch] = {};
  for (int i = 0; i < kBatch; ++i) {
    vectors[i] = {bytes[i], sizeof bytes[i]};
    messages[i].msg_hdr.msg_iov = &vectors[i];
    messages[i].msg_hdr.msg_iovlen = 1;
  }
  for (;;) {
    int taken = ::recvmmsg(doorbell, messages, kBatch, flags, nullptr);
    if (taken >= 0 || errno != EINTR) return taken;
  }
}

}  // namespace

void drainDoorbell(int doorbell) {
  while (takeDatagrams(doorbell, MSG_DONTWAIT) == kBatch) {
  }
}

bool awaitDoorbell(int doorbell) {
  int taken = takeDatagrams(doorbell, MSG_WAITFORONE);
  if (taken == kBatch) drainDoorbell(doorbell);
  return taken >= 0;
}

int connectDoorbell(std::string_view token) {
  sockaddr_un address;
  socklen_t length;
  if (!doorbellAddress(token, address, length)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  int bell = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (bell < 0) return -1;
  if (::connect(bell, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    int error = errno;
    ::close(bell);
    errno = error;
    return -1;
  }
  return bell;
}

Ring ringDoorbell(int bell) {
  const char byte = 1;
  for (;;) {
    if (::send(bell, &byte, 1, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) return Ring::Rung;
    if (errno == EINTR) continue;
    // A full queue (EAGAIN) means the receiver has wake-ups pending that will find the mark.
    bool gone = errno == ECONNREFUSED || errno == ECONNRESET || errno == ENOTCONN || errno == EPIPE;
    return gone ? Ring::NobodyListens : Ring::Rung;
  }
}

std::unique_ptr<Endpoint> Endpoint::create(const std::string& directory, const std::string& token,
                                           Directory making) {
  if (making == Directory::Make && !files::makeDirectories(directory)) return nullptr;
  std::string path = directory + "/" + token;
  // The table is filled under a hidden name, so a poster never maps a half-made one.
  std::string draft = directory + "/." + token;
  ::unlink(draft.c_str());
  int descriptor = ::open(draft.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (descriptor < 0) return nullptr;
  void* memory = MAP_FAILED;
  if (::ftruncate(descriptor, sizeof(Table)) == 0)
    memory = ::mmap(nullptr, sizeof(Table), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
  if (memory == MAP_FAILED) {
    ::close(descriptor);
    ::unlink(draft.c_str());
    return nullptr;
  }
  Table* table = nullptr;
  bool made = guarded([&] {
    table = new (memory) Table();
    table->magic = kMagic;
    table->slotCount = kSlotCount;
  });
  if (!made || ::rename(draft.c_str(), path.c_str()) != 0) {
    ::munmap(memory, sizeof(Table));
    ::close(descriptor);
    ::unlink(draft.c_str());
    return nullptr;
  }
  bumpGeneration(directory);
  return std::unique_ptr<Endpoint>(new Endpoint(directory, std::move(path), descriptor, table));
}

Endpoint::Endpoint(std::string directory, std::string path, int descriptor, void* table)
    : directory_(std::move(directory)), path_(std::move(path)), descriptor_(descriptor), table_(table) {}

Endpoint::~Endpoint() {
  if (!table_) return;
  struct stat mine {}, named {};
  // The name may already belong to a newer entry of this process.
  if (::fstat(descriptor_, &mine) == 0 && ::lstat(path_.c_str(), &named) == 0 && mine.st_ino == named.st_ino &&
      mine.st_dev == named.st_dev && ::unlink(path_.c_str()) == 0)
    bumpGeneration(directory_);
  abandon();
}

void Endpoint::abandon() {
  if (table_) ::munmap(table_, sizeof(Table));
  if (descriptor_ >= 0) ::close(descriptor_);
  table_ = nullptr;
  descriptor_ = -1;
}

void* Endpoint::table() const { return table_ && hasTableSize(descriptor_) ? table_ : nullptr; }

Endpoint::Condition Endpoint::condition(const std::vector<std::uint64_t>& watched) const {
  struct stat mine {}, named {};
  if (::lstat(path_.c_str(), &named) != 0) return errno == ENOENT ? Condition::Missing : Condition::Damaged;
  auto* table = static_cast<Table*>(this->table());
  if (!table || ::fstat(descriptor_, &mine) != 0 || mine.st_ino != named.st_ino || mine.st_dev != named.st_dev)
    return Condition::Damaged;
  bool intact = false;
  bool read = guarded([&] {
    if (!validTable(*table)) return;
    std::uint32_t used = usedSlots(*table);
    for (std::uint64_t key : watched) {
      bool found = false;
      for (std::uint32_t i = 0; i < used && !found; ++i) found = table->slots[i].key.load() == key;
      if (!found) return;
    }
    intact = true;
  });
  return read && intact ? Condition::Intact : Condition::Damaged;
}

bool Endpoint::watch(std::uint64_t key) {
  auto* table = static_cast<Table*>(this->table());
  bool watching = false;
  if (!table) return false;
  bool done = guarded([&] {
    std::uint32_t used = usedSlots(*table);
    Slot* vacant = nullptr;
    for (std::uint32_t i = 0; i < used; ++i) {
      std::uint64_t present = table->slots[i].key.load(std::memory_order_relaxed);
      if (present == key) {
        watching = true;
        return;
      }
      if (present == 0 && !vacant) vacant = &table->slots[i];
    }
    if (vacant) {
      vacant->pending.store(0);
      vacant->key.store(key, std::memory_order_release);
      watching = true;
      return;
    }
    if (used == kSlotCount) return;
    table->slots[used].pending.store(0);
    table->slots[used].key.store(key, std::memory_order_release);
    table->used.store(used + 1, std::memory_order_release);
    watching = true;
  });
  return done && watching;
}

void Endpoint::unwatch(std::uint64_t key) {
  auto* table = static_cast<Table*>(this->table());
  if (!table) return;
  guarded([&] {
    for (std::uint32_t i = 0, used = usedSlots(*table); i < used; ++i) {
      if (table->slots[i].key.load(std::memory_order_relaxed) != key) continue;
      table->slots[i].key.store(0);
      table->slots[i].pending.store(0);
    }
  });
}

void Endpoint::mark(std::uint64_t key) {
  if (auto* table = static_cast<Table*>(this->table())) guarded([&] { markIn(*table, key); });
}

std::vector<std::uint64_t> Endpoint::takePending() {
  std::vector<std::uint64_t> keys;
  auto* table = static_cast<Table*>(this->table());
  if (!table) return keys;
  // Made room for beforehand: nothing is allocated while the table is in use.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> marked;
  marked.reserve(kSlotCount);
  bool taken = guarded([&] {
    for (std::uint32_t i = 0, used = usedSlots(*table); i < used; ++i) {
      std::uint64_t sequence = table->slots[i].pending.exchange(0);
      std::uint64_t key = table->slots[i].key.load();
      if (sequence != 0 && key != 0) marked.emplace_back(sequence, key);
    }
  });
  // A table cut short is damaged: its owner replaces it, delivering every name once.
  if (!taken) return keys;
  std::sort(marked.begin(), marked.end());
  keys.reserve(marked.size());
  for (auto& [sequence, key] : marked) keys.push_back(key);
  return keys;
}

void post(std::uint64_t key, std::string_view ownToken) {
  std::string directory = registryDirectory();
  PosterCache& cache = posterCache();
  std::lock_guard lock(cache.mutex);
  if (cache.directory != directory) {
    cache.forget();
    cache.directory = directory;
  }
  // Read before listing: an entry added after this read changes the generation again.
  std::optional<std::uint64_t> generation = cache.generation();
  if (!generation || cache.listedAt != generation) {
    if (!cache.list()) {
      cache.forget();
      return;
    }
    cache.listedAt = generation;
  }
  bool removed = false;
  // Other processes are rung first: waking this process's own delivery thread
  // first could take the processor the other rings are waiting for.
  auto own = cache.entries.end();
  for (auto item = cache.entries.begin(); item != cache.entries.end();) {
    if (item->first == ownToken) {
      own = item++;
      continue;
    }
    if (notifyEntry(cache, key, *item) == Ring::Rung) {
      ++item;
      continue;
    }
    item = cache.entries.erase(item);
    removed = true;
  }
  if (own != cache.entries.end() && notifyEntry(cache, key, *own) == Ring::NobodyListens) {
    cache.entries.erase(own);
    removed = true;
  }
  if (removed) bumpGeneration(directory);
}

}  // namespace notify
