#pragma once

#include <nlohmann/json.hpp>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "sim/common/LogReader.h"
#include "sim/serve/Events.h"

// Follows the device's speaker log as the speaker writes it, across the
// segments it is cut into, and publishes each sound started ("sound") with the
// URL of its bytes. The bytes are those of the file the speaker decoded, read
// as its line appears and kept by their content, so a page fetches exactly them.
namespace serve {

class SpeakerFeed {
 public:
  /// The sounds kept for fetching, newest first out last.
  static constexpr std::size_t kKeptSounds = 64;
  static constexpr std::size_t kLargestSound = 16u << 20;
  /// The records a page is shown when it opens.
  static constexpr std::size_t kRecentRecords = 50;

  explicit SpeakerFeed(EventHub& hub);
  ~SpeakerFeed();
  SpeakerFeed(const SpeakerFeed&) = delete;
  SpeakerFeed& operator=(const SpeakerFeed&) = delete;

  /// Starts following from the end of the log as it is now.
  void start();
  void stop();

  /// The bytes of a sound published, by its key.
  std::shared_ptr<const std::string> sound(const std::string& key) const;
  /// Keeps the bytes of a device's sound file for fetching, as a sound the
  /// speaker played is kept: the URL they are fetched at, or nothing when the
  /// file cannot be read.
  std::optional<std::string> keep(std::string_view devicePath);
  /// The latest records, oldest first, as the page shows them.
  nlohmann::json recent() const;
  /// Shows no record from before now to pages opened later: the log was emptied.
  void forget();

 private:
  void take(std::string_view line);

  EventHub& hub_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  /// The starting thread's until the follower starts, then the follower's.
  logs::LogReader reader_;
  /// Off while the records there before the start are read: those are not played.
  bool publishing_ = false;

  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const std::string>> sounds_;
  std::deque<std::string> soundOrder_;
  std::deque<nlohmann::json> recent_;
};

}  // namespace serve
