#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/result/Result.h"

// The device's speaker, shared by the system sounds of a process: one sound at
// a time, played in real time on a background thread, logged and recorded
// into the device.
namespace speaker {

/// One JSON line per sound started.
inline constexpr const char* kLogPath = "/var/mobile/Library/Logs/Speaker.jsonl";
/// What the speaker played, as 44.1 kHz mono 16-bit PCM.
inline constexpr const char* kRecordingPath = "/var/mobile/Library/Logs/Speaker.wav";
inline constexpr int kRecordingRate = 44100;

// Once the log or the recording would grow past its size, it is renamed to
// its previous segment, replacing the one before, and a new one is begun.
inline constexpr const char* kPreviousLogPath = "/var/mobile/Library/Logs/Speaker.1.jsonl";
inline constexpr const char* kPreviousRecordingPath = "/var/mobile/Library/Logs/Speaker.1.wav";
inline constexpr long long kLogSegmentBytes = 1 << 20;
inline constexpr long long kRecordingSegmentBytes = 16 << 20;
/// Changes the segment sizes of this process (tests).
void setSegmentSizes(long long logBytes, long long recordingBytes);

/// Connects to the host's sound server so that sounds are also heard aloud.
/// The error says "no sound server reachable: why".
orvane::Result<void> enableSystemOutput();

/// A decoded sound: interleaved samples in [-1, 1].
struct Clip {
  /// The device path it was decoded from.
  std::string file;
  /// Tells decodes apart: one per content decoded, never reused in the process.
  std::uint64_t serial = 0;
  int rate = 0;
  int channels = 0;
  std::vector<float> samples;

  std::size_t frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
  double duration() const { return rate > 0 ? static_cast<double>(frames()) / rate : 0.0; }
};

using EndHandler = void (*)(std::uint32_t sound);

/// While it lives, the sounds this thread starts are logged as answering a
/// press of that hardware button ("up" or "down"): a log reader can then tell
/// the buttons apart even when both play one theme.
class ButtonPress {
 public:
  explicit ButtonPress(std::string button);
  ~ButtonPress();
  ButtonPress(const ButtonPress&) = delete;
  ButtonPress& operator=(const ButtonPress&) = delete;

 private:
  std::string before_;
};

/// Logs the clip as started, cuts off the one playing and plays this one.
/// `ended(sound)` runs on the speaker thread once it stops, after the part
/// played has been recorded.
void play(std::uint32_t sound, std::shared_ptr<const Clip> clip, EndHandler ended);
/// Plays nothing but runs `ended(sound)` on the speaker thread, in turn with the sounds played.
void skip(std::uint32_t sound, EndHandler ended);
/// A new clip, whose serial is its own; whatever the speaker keeps for it goes with it.
std::shared_ptr<Clip> makeClip();
bool onSpeakerThread();

// The speaker's parts.

/// A part of a clip that was played: its first `frames` frames.
struct Segment {
  std::shared_ptr<const Clip> clip;
  std::size_t frames = 0;
};

/// Appends the segments, in order, to the device's recording.
void record(const std::vector<Segment>& segments);

long long logSegmentBytes();
long long recordingSegmentBytes();

/// Audible output through the host's sound server; does nothing unless enabled.
/// The server keeps each clip's samples from its first play until the clip goes.
namespace output {
void play(const std::shared_ptr<const Clip>& clip);
void release(std::uint64_t serial);
}  // namespace output

}  // namespace speaker
