#include "platform/device/PathWatch.h"

#include <pthread.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string_view>
#include <unordered_map>

namespace files {
namespace {

constexpr std::uint32_t kDirectoryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                                           IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr std::uint32_t kStructureEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                           IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;
// Reported whichever hard link the file was changed through.
constexpr std::uint32_t kFileEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

struct Watcher {
  std::mutex mutex;
  int descriptor = -1;
  bool unavailable = false;
  // Stamps of an earlier instance (before a fork, or a failed read) are never trusted.
  std::uint64_t instance = 1;
  std::uint64_t serial = 0;
  std::uint64_t overflowedAt = 0;
  // "<watch><kind><name>", the name empty for the watched file or directory itself.
  std::unordered_map<std::string, std::size_t> keyIndex;
  std::vector<std::uint64_t> lastEvent;

  // A key looks for any event, or for those that change what a name refers to.
  enum class Kind : char { Any = 'A', Structure = 'S' };

  static std::string keyName(int watch, std::string_view name, Kind kind) {
    std::string key = std::to_string(watch);
    key += static_cast<char>(kind);
    key += name;
    return key;
  }

  std::size_t key(int watch, std::string_view name, Kind kind) {
    auto [found, added] = keyIndex.try_emplace(keyName(watch, name, kind), lastEvent.size());
    if (added) lastEvent.push_back(0);
    return found->second;
  }

  bool open() {
    if (descriptor >= 0) return true;
    if (unavailable) return false;
    descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    unavailable = descriptor < 0;
    return descriptor >= 0;
  }

  // Starts afresh: every stamp taken so far is looked at again.
  void reset() {
    if (descriptor >= 0) ::close(descriptor);
    descriptor = -1;
    ++instance;
    keyIndex.clear();
    lastEvent.clear();
  }

  void note(int watch, std::string_view name, std::uint32_t mask) {
    ++serial;
    for (Kind kind : {Kind::Any, Kind::Structure}) {
      if (kind == Kind::Structure && !(mask & kStructureEvents)) continue;
      auto found = keyIndex.find(keyName(watch, name, kind));
      if (found != keyIndex.end()) lastEvent[found->second] = serial;
    }
  }

  // Takes every event queued; what nobody watches for is passed over.
  void drain() {
    if (descriptor < 0) return;
    alignas(inotify_event) char events[4096];
    for (;;) {
      ssize_t length = ::read(descriptor, events, sizeof events);
      if (length < 0 && errno == EINTR) continue;
      if (length < 0 && errno == EAGAIN) return;
      if (length <= 0) {
        reset();
        return;
      }
      for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + offset);
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) {
          overflowedAt = ++serial;
          continue;
        }
        // Without a name, the event is about the watched file or directory itself.
        note(event->wd, event->len > 0 ? std::string_view(event->name) : std::string_view(), event->mask);
      }
    }
  }
};

Watcher& watcher() {
  // Never destroyed: sounds may still be made while the process exits.
  static auto* instance = new Watcher;
  return *instance;
}

// A forked child shares its parent's queue: whatever one of them read, the
// other would never see. The child lets go of it and starts afresh.
[[maybe_unused]] const int forkHandlers = pthread_atfork([] { watcher().mutex.lock(); },
                                                         [] { watcher().mutex.unlock(); },
                                                         [] {
                                                           watcher().reset();
                                                           watcher().mutex.unlock();
                                                         });

}  // namespace

WatchStamp watchFile(const std::string& root, const std::string& path, Watching watching) {
  if (root.empty() || path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0 ||
      path[root.size()] != '/' || path.back() == '/')
    return {};
  Watcher& state = watcher();
  std::lock_guard lock(state.mutex);
  if (!state.open()) return {};
  state.drain();
  if (state.descriptor < 0) return {};
  WatchStamp stamp;
  stamp.instance = state.instance;
  stamp.serial = state.serial;
  Watcher::Kind kind = watching == Watching::Contents ? Watcher::Kind::Any : Watcher::Kind::Structure;
  // The path is walked as the device resolves it: links lead on from the
  // root, ".." stops there. Every directory passed is watched, with the name
  // taken in it, so a link replaced on the way counts too.
  std::vector<std::string> ahead;
  for (std::size_t at = path.size(); at > root.size();) {
    std::size_t slash = path.rfind('/', at - 1);
    ahead.push_back(path.substr(slash + 1, at - slash - 1));
    at = slash;
  }
  std::vector<std::string> walked;
  auto directory = [&] {
    std::string joined = root;
    for (auto& name : walked) joined += "/" + name;
    return joined;
  };
  constexpr int kMostLinks = 40;
  bool reachedFile = false;
  for (int links = 0; !ahead.empty();) {
    std::string name = std::move(ahead.back());
    ahead.pop_back();
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!walked.empty()) walked.pop_back();
      continue;
    }
    std::string parent = directory();
    int watch = ::inotify_add_watch(state.descriptor, parent.c_str(), kDirectoryEvents | IN_ONLYDIR | IN_DONT_FOLLOW);
    if (watch < 0) return {};
    stamp.keys.push_back(state.key(watch, {}, kind));
    stamp.keys.push_back(state.key(watch, name, kind));
    std::string next = parent + "/" + name;
    struct stat info {};
    if (::lstat(next.c_str(), &info) != 0) return {};
    if (S_ISLNK(info.st_mode)) {
      char target[4096];
      ssize_t length = ::readlink(next.c_str(), target, sizeof target);
      if (++links > kMostLinks || length <= 0 || length == static_cast<ssize_t>(sizeof target)) return {};
      std::string_view text(target, static_cast<std::size_t>(length));
      if (text.front() == '/') walked.clear();
      for (std::size_t at = text.size(); at > 0;) {
        std::size_t slash = text.rfind('/', at - 1);
        std::size_t from = slash == std::string_view::npos ? 0 : slash + 1;
        ahead.emplace_back(text.substr(from, at - from));
        if (slash == std::string_view::npos) break;
        at = slash;
      }
      continue;
    }
    if (!ahead.empty()) {
      if (!S_ISDIR(info.st_mode)) return {};
      walked.push_back(std::move(name));
      continue;
    }
    if (!S_ISREG(info.st_mode)) return {};
    reachedFile = true;
    if (watching == Watching::Contents) {
      // Changes through another hard link are reported on the file alone.
      watch = ::inotify_add_watch(state.descriptor, next.c_str(), kFileEvents | IN_DONT_FOLLOW);
      if (watch < 0) return {};
      stamp.keys.push_back(state.key(watch, {}, kind));
    }
  }
  // A link's target may end in ".." or ".", a directory.
  if (!reachedFile) return {};
  return stamp;
}

bool unchangedSince(const WatchStamp& stamp) {
  if (!stamp.watched()) return false;
  Watcher& state = watcher();
  std::lock_guard lock(state.mutex);
  if (stamp.instance != state.instance) return false;
  state.drain();
  if (stamp.instance != state.instance || state.overflowedAt > stamp.serial) return false;
  for (std::size_t key : stamp.keys)
    if (key >= state.lastEvent.size() || state.lastEvent[key] > stamp.serial) return false;
  return true;
}

}  // namespace files
