#include "sim/serve/SpeakerFeed.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"

namespace serve {

namespace {

constexpr std::size_t kLongestLine = 64 * 1024;
/// The bytes last read that tell whether the log was rewritten under the reader.
constexpr std::size_t kRemembered = 64;
constexpr const char* kLogDirectory = "/var/mobile/Library/Logs";

/// A name for the bytes: their FNV-1a hash and their length, in hex.
std::string contentKey(const std::string& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
  char key[40];
  std::snprintf(key, sizeof key, "%016llx%08llx", static_cast<unsigned long long>(hash),
                static_cast<unsigned long long>(bytes.size()));
  return key;
}

ino_t inodeOf(int descriptor) {
  struct stat status {};
  return descriptor >= 0 && ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) ? status.st_ino : 0;
}

}  // namespace

SpeakerFeed::SpeakerFeed(EventHub& hub) : hub_(hub) {}

SpeakerFeed::~SpeakerFeed() { stop(); }

void SpeakerFeed::start() {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  // What is in the log now is history: shown, not played.
  descriptor_ = files::openDeviceFile(speaker::kLogPath);
  if (descriptor_ >= 0 && inodeOf(descriptor_) == 0) {
    ::close(descriptor_);
    descriptor_ = -1;
  }
  if (descriptor_ >= 0) {
    readNew();
  }
  publishing_ = true;
  thread_ = std::thread([this] { follow(); });
}

void SpeakerFeed::stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  char byte = 0;
  [[maybe_unused]] ssize_t ignored = ::write(wake_[1], &byte, 1);
  thread_.join();
  for (int& end : wake_)
    if (end >= 0) ::close(std::exchange(end, -1));
  if (descriptor_ >= 0) ::close(std::exchange(descriptor_, -1));
}

void SpeakerFeed::follow() {
  int watcher = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  bool watching = false;
  while (!stopping_) {
    if (watcher >= 0 && !watching)
      watching = ::inotify_add_watch(watcher, device::hostPath(kLogDirectory).c_str(),
                                     IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM) >= 0;
    readNew();
    // Woken by the log changing; the time-out covers a directory made later.
    pollfd watched[2] = {{wake_[0], POLLIN, 0}, {watcher, POLLIN, 0}};
    int ready = ::poll(watched, watching ? 2 : 1, watching ? 1000 : 100);
    if (ready > 0 && watched[1].revents) {
      char events[4096];
      while (::read(watcher, events, sizeof events) > 0) {
      }
    }
  }
  if (watcher >= 0) ::close(watcher);
}

bool SpeakerFeed::readNew() {
  bool any = false;
  for (int round = 0; round < 2; ++round) {
    if (descriptor_ >= 0) {
      // Emptied in place (log --clear), and perhaps written again since: the
      // bytes last read are no longer where they were, so it is read from its start.
      struct stat status {};
      off_t at = ::lseek(descriptor_, 0, SEEK_CUR);
      std::string there(lastRead_.size(), '\0');
      bool kept = ::fstat(descriptor_, &status) == 0 && at <= status.st_size &&
                  (lastRead_.empty() || ::pread(descriptor_, there.data(), there.size(),
                                                at - static_cast<off_t>(there.size())) == static_cast<ssize_t>(there.size()));
      if (!kept || there != lastRead_) {
        ::lseek(descriptor_, 0, SEEK_SET);
        pending_.clear();
        lastRead_.clear();
        discarding_ = false;
      }
      char buffer[65536];
      for (;;) {
        ssize_t got = ::read(descriptor_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        any = true;
        std::string_view chunk(buffer, static_cast<std::size_t>(got));
        lastRead_ = (lastRead_ + std::string(chunk.substr(chunk.size() > kRemembered ? chunk.size() - kRemembered : 0)));
        if (lastRead_.size() > kRemembered) lastRead_.erase(0, lastRead_.size() - kRemembered);
        while (!chunk.empty()) {
          std::size_t end = chunk.find('\n');
          if (!discarding_) pending_.append(chunk.substr(0, end));
          if (pending_.size() > kLongestLine) {
            discarding_ = true;
            pending_.clear();
          }
          if (end == std::string_view::npos) break;
          if (!discarding_) take(pending_);
          pending_.clear();
          discarding_ = false;
          chunk.remove_prefix(end + 1);
        }
      }
    }
    // The segment was cut: once the old one is read to its end, the new one is read from its start.
    int current = files::openDeviceFile(speaker::kLogPath);
    ino_t now = inodeOf(current);
    if (now == 0 || now == inodeOf(descriptor_)) {
      if (current >= 0) ::close(current);
      return any;
    }
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = current;
    pending_.clear();
    lastRead_.clear();
    discarding_ = false;
  }
  return any;
}

void SpeakerFeed::take(std::string_view line) {
  auto record = nlohmann::json::parse(line, nullptr, false);
  if (record.is_discarded() || !record.is_object()) return;
  bool history = !publishing_;
  nlohmann::json shown = record;
  auto file = record.find("file");
  if (!history && file != record.end() && file->is_string()) {
    files::FileContents contents = files::readDeviceFile(file->get<std::string>(), kLargestSound);
    if (contents) {
      std::string key = contentKey(contents.bytes);
      shown["url"] = "/sounds/" + key + ".wav";
      std::lock_guard lock(mutex_);
      if (sounds_.emplace(key, std::make_shared<const std::string>(std::move(contents.bytes))).second) {
        soundOrder_.push_back(key);
        if (soundOrder_.size() > kKeptSounds) {
          sounds_.erase(soundOrder_.front());
          soundOrder_.pop_front();
        }
      }
    }
  }
  {
    std::lock_guard lock(mutex_);
    recent_.push_back(shown);
    if (recent_.size() > kRecentRecords) recent_.pop_front();
  }
  if (!history) hub_.publish("sound", shown.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::shared_ptr<const std::string> SpeakerFeed::sound(const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto found = sounds_.find(key);
  return found == sounds_.end() ? nullptr : found->second;
}

nlohmann::json SpeakerFeed::recent() const {
  std::lock_guard lock(mutex_);
  nlohmann::json records = nlohmann::json::array();
  for (auto& record : recent_) records.push_back(record);
  return records;
}

}  // namespace serve
