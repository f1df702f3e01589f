#include <fcntl.h>
#include <sndfile.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"

namespace speaker {
namespace {

constexpr int kRecordingFormat = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

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

int openLocked(const std::string& path) {
  int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor < 0 && errno == ENOENT && files::makeDirectories(path.substr(0, path.rfind('/'))))
    descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor < 0) return -1;
  while (::flock(descriptor, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(descriptor);
      return -1;
    }
  }
  return descriptor;
}

// Opens the recording for appending; one that is not a recording of ours is started anew.
SNDFILE* openForAppend(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) == 0 && status.st_size > 0) {
    SF_INFO info{};
    if (SNDFILE* file = sf_open_fd(descriptor, SFM_RDWR, &info, SF_FALSE)) {
      if (info.samplerate == kRecordingRate && info.channels == 1 && info.format == kRecordingFormat &&
          sf_seek(file, 0, SEEK_END) >= 0)
        return file;
      sf_close(file);
    }
    if (::ftruncate(descriptor, 0) != 0) return nullptr;
  }
  ::lseek(descriptor, 0, SEEK_SET);
  SF_INFO info{};
  info.samplerate = kRecordingRate;
  info.channels = 1;
  info.format = kRecordingFormat;
  return sf_open_fd(descriptor, SFM_RDWR, &info, SF_FALSE);
}

}  // namespace

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

  int descriptor = openLocked(device::hostPath(kRecordingPath));
  if (descriptor < 0) return;
  if (SNDFILE* file = openForAppend(descriptor)) {
    sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
  }
  ::close(descriptor);
}

}  // namespace speaker
