#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>

#include "platform/audiotoolbox/SoundFile.h"
#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/device/LogSegment.h"

namespace speaker {
namespace {

constexpr int kRecordingFormat = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

std::atomic<long long> logLimit{kLogSegmentBytes};
std::atomic<long long> recordingLimit{kRecordingSegmentBytes};

std::vector<float> mixToMono(const Clip& clip, std::size_t frames) {
  std::vector<float> mono(frames);
  auto channels = static_cast<std::size_t>(clip.channels);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    float sum = 0;
    for (std::size_t channel = 0; channel < channels; ++channel) sum += clip.samples[frame * channels + channel];
    mono[frame] = sum / static_cast<float>(channels);
  }
  return mono;
}

std::vector<short> toRecordingRate(const std::vector<float>& mono, int rate) {
  auto count = static_cast<std::size_t>(std::llround(static_cast<double>(mono.size()) * kRecordingRate / rate));
  std::vector<short> out(count);
  for (std::size_t i = 0; i < count; ++i) {
    double position = static_cast<double>(i) * rate / kRecordingRate;
    auto index = std::min(static_cast<std::size_t>(position), mono.size() - 1);
    auto next = std::min(index + 1, mono.size() - 1);
    auto fraction = static_cast<float>(position - static_cast<double>(index));
    float value = mono[index] * (1 - fraction) + mono[next] * fraction;
    out[i] = static_cast<short>(std::lrint(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
  }
  return out;
}

// Opens the recording for appending; one that is not a recording of ours is started anew.
SNDFILE* openForAppend(soundfile::DescriptorFile& file) {
  struct stat status {};
  if (::fstat(file.descriptor, &status) != 0) return nullptr;
  if (status.st_size > 0) {
    SF_INFO info{};
    if (SNDFILE* opened = sf_open_virtual(&soundfile::descriptorCalls, SFM_RDWR, &info, &file)) {
      if (info.samplerate == kRecordingRate && info.channels == 1 && info.format == kRecordingFormat &&
          sf_seek(opened, 0, SEEK_END) >= 0)
        return opened;
      sf_close(opened);
    }
    if (::ftruncate(file.descriptor, 0) != 0) return nullptr;
  }
  file.position = 0;
  SF_INFO info{};
  info.samplerate = kRecordingRate;
  info.channels = 1;
  info.format = kRecordingFormat;
  return sf_open_virtual(&soundfile::descriptorCalls, SFM_RDWR, &info, &file);
}

}  // namespace

void setSegmentSizes(long long logBytes, long long recordingBytes) {
  logLimit = logBytes;
  recordingLimit = recordingBytes;
}
long long logSegmentBytes() { return logLimit; }
long long recordingSegmentBytes() { return recordingLimit; }

void record(const std::vector<Segment>& segments) {
  std::vector<short> samples;
  for (auto& segment : segments) {
    const Clip& clip = *segment.clip;
    std::size_t frames = std::min(segment.frames, clip.frames());
    if (frames == 0 || clip.rate <= 0) continue;
    std::vector<short> part = toRecordingRate(mixToMono(clip, frames), clip.rate);
    samples.insert(samples.end(), part.begin(), part.end());
  }
  if (samples.empty()) return;

  long long bytes = static_cast<long long>(samples.size() * sizeof(short));
  auto opened = files::openLogSegment(kRecordingPath, kPreviousRecordingPath, recordingSegmentBytes(), bytes, O_RDWR, true);
  if (!opened) return;
  soundfile::DescriptorFile file{*opened};
  if (SNDFILE* recording = openForAppend(file)) {
    sf_writef_short(recording, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(recording);
  }
  ::close(*opened);
}

}  // namespace speaker
