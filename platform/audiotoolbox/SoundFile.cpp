#include "platform/audiotoolbox/SoundFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace soundfile {
namespace {

DescriptorFile& of(void* self) { return *static_cast<DescriptorFile*>(self); }

sf_count_t length(void* self) {
  DescriptorFile& file = of(self);
  if (file.fixedLength >= 0) return file.fixedLength;
  struct stat status {};
  return ::fstat(file.descriptor, &status) == 0 ? static_cast<sf_count_t>(status.st_size) : -1;
}

sf_count_t seek(sf_count_t offset, int whence, void* self) {
  DescriptorFile& file = of(self);
  sf_count_t base = whence == SEEK_CUR ? file.position : whence == SEEK_END ? length(self) : 0;
  if (base < 0 || offset < -base || offset > INT64_MAX - base) return -1;
  return file.position = base + offset;
}

sf_count_t read(void* destination, sf_count_t count, void* self) {
  DescriptorFile& file = of(self);
  if (file.fixedLength >= 0) count = std::clamp<sf_count_t>(file.fixedLength - file.position, 0, count);
  sf_count_t done = 0;
  while (done < count) {
    ssize_t got = ::pread(file.descriptor, static_cast<char*>(destination) + done,
                          static_cast<std::size_t>(count - done), file.position + done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  file.position += done;
  return done;
}

sf_count_t write(const void* source, sf_count_t count, void* self) {
  DescriptorFile& file = of(self);
  sf_count_t done = 0;
  while (done < count) {
    ssize_t put = ::pwrite(file.descriptor, static_cast<const char*>(source) + done,
                           static_cast<std::size_t>(count - done), file.position + done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += put;
  }
  file.position += done;
  return done;
}

sf_count_t tell(void* self) { return of(self).position; }

// Reads at most `limit` frames; more than that means the sound is too long.
sf_count_t readFrames(SNDFILE* sound, const SF_INFO& info, sf_count_t limit, std::vector<float>& samples) {
  auto channels = static_cast<std::size_t>(info.channels);
  if (info.frames >= 0 && info.frames <= limit) {
    samples.resize(static_cast<std::size_t>(info.frames) * channels);
    sf_count_t got = sf_readf_float(sound, samples.data(), info.frames);
    samples.resize(static_cast<std::size_t>(std::max<sf_count_t>(got, 0)) * channels);
    return std::max<sf_count_t>(got, 0);
  }
  // A length the file does not declare: read it in parts, never past the limit.
  constexpr sf_count_t kPart = 16384;
  sf_count_t total = 0;
  for (;;) {
    sf_count_t want = std::min(kPart, limit + 1 - total);
    if (want <= 0) break;
    samples.resize(static_cast<std::size_t>(total + want) * channels);
    sf_count_t got = sf_readf_float(sound, samples.data() + static_cast<std::size_t>(total) * channels, want);
    if (got <= 0) break;
    total += got;
  }
  samples.resize(static_cast<std::size_t>(total) * channels);
  return total;
}

}  // namespace

SF_VIRTUAL_IO descriptorCalls{length, seek, read, write, tell};

OSStatus decode(int descriptor, off_t size, const std::string& devicePath, std::shared_ptr<const speaker::Clip>& clip) {
  DescriptorFile file{descriptor, 0, static_cast<sf_count_t>(size)};
  // The platform plays no Ogg, and libsndfile 1.2.0 leaks the header state of a damaged one.
  char magic[4] = {};
  if (read(magic, sizeof magic, &file) == sizeof magic && std::memcmp(magic, "OggS", sizeof magic) == 0)
    return kAudioFileUnsupportedFileTypeError;
  file.position = 0;
  SF_INFO info{};
  SNDFILE* sound = sf_open_virtual(&descriptorCalls, SFM_READ, &info, &file);
  if (!sound) return kAudioFileUnsupportedFileTypeError;
  OSStatus status = kAudioServicesNoError;
  auto decoded = speaker::makeClip();
  if (info.samplerate < kLowestRate || info.samplerate > kHighestRate || info.channels < 1 ||
      info.channels > kMostChannels) {
    status = kAudioFileUnsupportedFileTypeError;
  } else {
    sf_count_t longest = sf_count_t{kLongestSeconds} * info.samplerate;
    // The declared length is checked before anything is decoded.
    if (info.frames > longest && info.frames != SF_COUNT_MAX) {
      status = kAudioServicesSystemSoundExceededMaximumDurationError;
    } else {
      sf_count_t frames = readFrames(sound, info, longest, decoded->samples);
      if (frames > longest) status = kAudioServicesSystemSoundExceededMaximumDurationError;
      else if (frames == 0 && info.frames != 0) status = kAudioFileInvalidFileError;
    }
  }
  sf_close(sound);
  if (status != kAudioServicesNoError) return status;
  // Samples outside [-1, 1] (floating-point files may hold any value) play clipped.
  for (float& sample : decoded->samples) sample = std::isfinite(sample) ? std::clamp(sample, -1.0f, 1.0f) : 0.0f;
  decoded->file = devicePath;
  decoded->rate = info.samplerate;
  decoded->channels = info.channels;
  clip = std::move(decoded);
  return kAudioServicesNoError;
}

}  // namespace soundfile
