#include "sim/serve/SpeakerFeed.h"

#include <cstdint>
#include <cstdio>

#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/FileUtilities.h"

namespace serve {

namespace {

/// A name for the bytes: their FNV-1a hash and their length, in hex.
std::string contentKey(const std::string& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
  char key[40];
  std::snprintf(key, sizeof key, "%016llx%08llx", static_cast<unsigned long long>(hash),
                static_cast<unsigned long long>(bytes.size()));
  return key;
}

}  // namespace

SpeakerFeed::SpeakerFeed(EventHub& hub) : hub_(hub), reader_(speaker::kLogPath, speaker::kPreviousLogPath) {}

SpeakerFeed::~SpeakerFeed() { stop(); }

void SpeakerFeed::start() {
  // What is in the log now is history: shown, not played.
  reader_.read([this](std::string_view line) { take(line); });
  publishing_ = true;
  thread_ = std::thread([this] {
    reader_.follow([this](std::string_view line) { take(line); }, [this] { return !stopping_; },
                   logs::LogReader::From::Here);
  });
}

void SpeakerFeed::stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  thread_.join();
}

std::optional<std::string> SpeakerFeed::keep(std::string_view devicePath) {
  auto contents = files::readDeviceFile(devicePath, kLargestSound);
  if (!contents) return std::nullopt;
  std::string key = contentKey(*contents);
  std::lock_guard lock(mutex_);
  if (sounds_.emplace(key, std::make_shared<const std::string>(std::move(*contents))).second) {
    soundOrder_.push_back(key);
    if (soundOrder_.size() > kKeptSounds) {
      sounds_.erase(soundOrder_.front());
      soundOrder_.pop_front();
    }
  }
  return "/sounds/" + key + ".wav";
}

void SpeakerFeed::take(std::string_view line) {
  auto record = nlohmann::json::parse(line, nullptr, false);
  if (record.is_discarded() || !record.is_object()) return;
  bool history = !publishing_;
  nlohmann::json shown = record;
  auto file = record.find("file");
  if (!history && file != record.end() && file->is_string()) {
    if (auto url = keep(file->get<std::string>())) shown["url"] = *url;
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

void SpeakerFeed::forget() {
  std::lock_guard lock(mutex_);
  recent_.clear();
}

}  // namespace serve
