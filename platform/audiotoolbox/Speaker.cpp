#include "platform/audiotoolbox/Speaker.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <fmt/format.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>
#include <vector>
#include <thread>

#include "platform/device/Device.h"
#include "platform/device/LogSegment.h"

namespace speaker {
namespace {

using Clock = std::chrono::steady_clock;

thread_local bool isSpeakerThread = false;

struct Request {
  std::uint32_t sound = 0;
  // Null for a sound that is skipped.
  std::shared_ptr<const Clip> clip;
  EndHandler ended = nullptr;
  Clock::time_point start;
};

std::size_t framesPlayed(const Request& request, Clock::time_point until) {
  double seconds = std::chrono::duration<double>(until - request.start).count();
  auto frames = static_cast<std::size_t>(std::max(0.0, seconds) * request.clip->rate + 0.5);
  return std::min(frames, request.clip->frames());
}

Clock::time_point endOf(const Request& request) {
  return request.start +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(request.clip->duration()));
}

class Speaker {
 public:
  void submit(Request request) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    request.start = Clock::now();
    queue_.push_back(std::move(request));
    if (!thread_.joinable()) {
      thread_ = std::thread([this] { run(); });
      std::atexit(stopAtExit);
    }
    wake_.notify_one();
  }

  static void stopAtExit();

 private:
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    if (isSpeakerThread) {
      thread_.detach();
    } else if (thread_.joinable()) {
      thread_.join();
    }
  }

  void run() {
    isSpeakerThread = true;
    std::unique_lock lock(mutex_);
    std::optional<Request> playing;
    std::vector<Request> ended;
    std::vector<Segment> played;
    for (;;) {
      if (!queue_.empty()) {
        // Everything queued is taken at once: presses may come faster than
        // one recording append each, and sounds cut off wait for nothing.
        while (!queue_.empty()) {
          Request next = std::move(queue_.front());
          queue_.pop_front();
          if (!next.clip) {
            ended.push_back(std::move(next));
            continue;
          }
          if (playing) {
            played.push_back({playing->clip, framesPlayed(*playing, next.start)});
            ended.push_back(std::move(*playing));
          }
          playing = std::move(next);
        }
      } else if (playing) {
        auto now = Clock::now();
        if (now < endOf(*playing) && !stopping_) {
          wake_.wait_until(lock, endOf(*playing));
          continue;
        }
        played.push_back({playing->clip, framesPlayed(*playing, now)});
        ended.push_back(std::move(*playing));
        playing.reset();
      } else if (stopping_) {
        return;
      } else {
        wake_.wait(lock);
        continue;
      }
      // At exit the process's objects may be gone, so completions no longer run.
      bool complete = !stopping_;
      lock.unlock();
      record(played);
      played.clear();
      for (auto& request : ended)
        if (complete && request.ended) request.ended(request.sound);
      ended.clear();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Request> queue_;
  std::thread thread_;
  bool stopping_ = false;
};

// Never destroyed: the speaker thread may outlive static destruction.
Speaker* instance = nullptr;
std::once_flag instanceOnce;

Speaker& theSpeaker() {
  std::call_once(instanceOnce, [] {
    instance = new Speaker;
    // A forked child has none of the parent's threads, so it starts a speaker of its own.
    pthread_atfork(nullptr, nullptr, [] { instance = new Speaker; });
  });
  return *instance;
}

void Speaker::stopAtExit() { theSpeaker().stop(); }

std::string jsonText(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// What a record says of the process, and of a clip, made once: building the
// line whole through the JSON library cost a press more than its write.
struct RecordParts {
  std::mutex mutex;
  pid_t pid = 0;
  std::string processName;
  std::string process;
  // The clips logged last, by serial: a press plays one of two themes, mostly.
  struct ClipParts {
    std::uint64_t serial;
    std::string file, duration;
  };
  std::deque<ClipParts> clips;
};

RecordParts& recordParts() {
  // Never destroyed: sounds may still be logged while the process exits.
  static auto* parts = new RecordParts;
  return *parts;
}

thread_local std::string pressedButton;

std::string recordOf(std::uint32_t sound, const Clip& clip) {
  constexpr std::size_t kClipsKept = 4;
  std::string time = files::logTimestamp();
  std::string name = device::processName();
  RecordParts& parts = recordParts();
  std::lock_guard lock(parts.mutex);
  if (parts.pid != getpid() || parts.processName != name) {
    parts.pid = getpid();
    parts.processName = name;
    parts.process = fmt::format("\"process\":{},\"pid\":{}", jsonText(name), parts.pid);
  }
  auto kept = std::find_if(parts.clips.begin(), parts.clips.end(), [&](auto& part) { return part.serial == clip.serial; });
  if (kept == parts.clips.end()) {
    parts.clips.push_front({clip.serial, jsonText(clip.file), jsonText(clip.duration())});
    if (parts.clips.size() > kClipsKept) parts.clips.pop_back();
    kept = parts.clips.begin();
  }
  std::string button = pressedButton.empty() ? "" : ",\"button\":" + jsonText(pressedButton);
  return fmt::format("{{\"time\":\"{}\",{},\"file\":{},\"sound\":{},\"duration\":{}{}}}\n", time, parts.process,
                     kept->file, sound, kept->duration, button);
}

void logStart(std::uint32_t sound, const Clip& clip) {
  // A sound is played whether or not its record can be kept: there is nobody to tell.
  [[maybe_unused]] auto logged =
      files::appendLogRecord(kLogPath, kPreviousLogPath, logSegmentBytes(), recordOf(sound, clip));
}

}  // namespace

ButtonPress::ButtonPress(std::string button) : before_(std::exchange(pressedButton, std::move(button))) {}

ButtonPress::~ButtonPress() { pressedButton = std::move(before_); }

void play(std::uint32_t sound, std::shared_ptr<const Clip> clip, EndHandler ended) {
  // Heard first, logged right after: the line is there before this returns.
  output::play(clip);
  logStart(sound, *clip);
  theSpeaker().submit(Request{sound, std::move(clip), ended, {}});
}

void skip(std::uint32_t sound, EndHandler ended) { theSpeaker().submit(Request{sound, nullptr, ended, {}}); }

std::shared_ptr<Clip> makeClip() {
  static std::atomic<std::uint64_t> lastSerial{0};
  auto* clip = new Clip;
  clip->serial = ++lastSerial;
  return std::shared_ptr<Clip>(clip, [](Clip* gone) {
    output::release(gone->serial);
    delete gone;
  });
}

bool onSpeakerThread() { return isSpeakerThread; }

}  // namespace speaker
