#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"

namespace {

constexpr sf_count_t kLongestSystemSoundSeconds = 30;

struct SystemSound {
  std::shared_ptr<const speaker::Clip> clip;
  AudioServicesSystemSoundCompletionProc completion = nullptr;
  void* clientData = nullptr;
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<SystemSoundID, SystemSound> sounds;
  // Ids 1000 to 4095 are the platform's own sounds.
  SystemSoundID nextID = 4097;
  // The sound whose completion is running on the speaker thread, or 0.
  SystemSoundID completing = 0;
  std::condition_variable completionReturned;

  // Waits until the sound's completion is not running, unless it is this thread that runs it.
  void awaitCompletion(std::unique_lock<std::mutex>& lock, SystemSoundID sound) {
    if (speaker::onSpeakerThread()) return;
    completionReturned.wait(lock, [&] { return completing != sound; });
  }
};

// Never destroyed: the speaker thread may still finish sounds during exit.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

OSStatus statusForErrno(int error) {
  return error == ENOENT || error == ENOTDIR ? kAudioFileFileNotFoundError : kAudioFilePermissionsError;
}

std::uint32_t little32(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}
std::uint16_t little16(const unsigned char* bytes) { return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8); }

enum class Parse { Decoded, NotPlainWave, Broken };

// Every press decodes its file afresh, so linear-PCM WAV, the common case, is
// read directly: opening it through libsndfile alone costs several times more.
Parse decodePlainWave(std::string_view bytes, speaker::Clip& clip) {
  auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return Parse::NotPlainWave;
  int format = 0, channels = 0, bits = 0;
  long rate = 0;
  std::size_t at = 12;
  while (at + 8 <= bytes.size()) {
    std::string_view id = bytes.substr(at, 4);
    std::size_t size = little32(data + at + 4);
    std::size_t body = at + 8;
    if (id == "fmt " && size >= 16 && body + size <= bytes.size()) {
      format = little16(data + body);
      channels = little16(data + body + 2);
      rate = static_cast<long>(little32(data + body + 4));
      bits = little16(data + body + 14);
      if (format == 0xFFFE && size >= 26) format = little16(data + body + 24);  // the extensible header's subformat
    } else if (id == "data") {
      bool integer = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
      bool real = format == 3 && bits == 32;
      if (!integer && !real) return Parse::NotPlainWave;
      if (channels <= 0 || rate <= 0) return Parse::Broken;
      size = std::min(size, bytes.size() - body);
      std::size_t width = static_cast<std::size_t>(bits / 8);
      std::size_t count = size / width / static_cast<std::size_t>(channels) * static_cast<std::size_t>(channels);
      clip.rate = static_cast<int>(rate);
      clip.channels = channels;
      clip.samples.resize(count);
      const unsigned char* sample = data + body;
      for (std::size_t i = 0; i < count; ++i, sample += width) {
        float value;
        if (real) {
          std::uint32_t word = little32(sample);
          std::memcpy(&value, &word, sizeof value);
        } else if (bits == 8) {
          value = (static_cast<int>(sample[0]) - 128) / 128.0f;
        } else if (bits == 16) {
          value = static_cast<std::int16_t>(little16(sample)) / 32768.0f;
        } else if (bits == 24) {
          auto word = static_cast<std::int32_t>(static_cast<std::uint32_t>(sample[0]) << 8 |
                                                static_cast<std::uint32_t>(sample[1]) << 16 |
                                                static_cast<std::uint32_t>(sample[2]) << 24);
          value = static_cast<float>(word >> 8) / 8388608.0f;
        } else {
          value = static_cast<float>(static_cast<std::int32_t>(little32(sample))) / 2147483648.0f;
        }
        clip.samples[i] = value;
      }
      return Parse::Decoded;
    }
    at = body + size + (size & 1);
  }
  return format ? Parse::Broken : Parse::NotPlainWave;
}

// libsndfile reads any other format from the bytes already in memory.
struct MemoryFile {
  std::string_view bytes;
  sf_count_t position = 0;

  static sf_count_t length(void* self) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(self)->bytes.size()); }
  static sf_count_t seek(sf_count_t offset, int whence, void* self) {
    auto* file = static_cast<MemoryFile*>(self);
    sf_count_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? length(self) : 0;
    file->position = std::clamp<sf_count_t>(base + offset, 0, length(self));
    return file->position;
  }
  static sf_count_t read(void* destination, sf_count_t count, void* self) {
    auto* file = static_cast<MemoryFile*>(self);
    sf_count_t available = std::min(count, length(self) - file->position);
    std::memcpy(destination, file->bytes.data() + file->position, static_cast<std::size_t>(available));
    file->position += available;
    return available;
  }
  static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t tell(void* self) { return static_cast<MemoryFile*>(self)->position; }
};

bool decodeWithLibrary(std::string_view bytes, speaker::Clip& clip) {
  MemoryFile memory{bytes};
  SF_VIRTUAL_IO io{MemoryFile::length, MemoryFile::seek, MemoryFile::read, MemoryFile::write, MemoryFile::tell};
  SF_INFO info{};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
  if (!file) return false;
  bool ok = info.channels > 0 && info.samplerate > 0 && info.frames >= 0 &&
            info.frames <= (kLongestSystemSoundSeconds + 1) * info.samplerate;
  if (ok) {
    clip.rate = info.samplerate;
    clip.channels = info.channels;
    clip.samples.resize(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
    sf_count_t read = sf_readf_float(file, clip.samples.data(), info.frames);
    ok = read > 0 || info.frames == 0;
    clip.samples.resize(static_cast<std::size_t>(std::max<sf_count_t>(read, 0)) * static_cast<std::size_t>(info.channels));
  }
  sf_close(file);
  return ok;
}

OSStatus decode(const std::string& devicePath, std::shared_ptr<const speaker::Clip>& decoded) {
  std::string path = device::hostPath(devicePath);
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return statusForErrno(errno);
  if (!S_ISREG(status.st_mode)) return kAudioFileUnsupportedFileTypeError;
  errno = 0;
  auto bytes = files::readWhole(path);
  if (!bytes) return statusForErrno(errno);
  auto clip = std::make_shared<speaker::Clip>();
  clip->file = devicePath;
  Parse parsed = decodePlainWave(*bytes, *clip);
  if (parsed == Parse::Broken || (parsed == Parse::NotPlainWave && !decodeWithLibrary(*bytes, *clip)))
    return kAudioFileUnsupportedFileTypeError;
  if (clip->frames() > static_cast<std::size_t>(kLongestSystemSoundSeconds * clip->rate))
    return kAudioServicesSystemSoundExceededMaximumDurationError;
  decoded = std::move(clip);
  return kAudioServicesNoError;
}

void soundEnded(SystemSoundID sound) {
  Registry& sounds = registry();
  std::unique_lock lock(sounds.mutex);
  auto found = sounds.sounds.find(sound);
  if (found == sounds.sounds.end() || !found->second.completion) return;
  auto completion = found->second.completion;
  void* clientData = found->second.clientData;
  sounds.completing = sound;
  lock.unlock();
  completion(sound, clientData);
  lock.lock();
  sounds.completing = 0;
  lock.unlock();
  sounds.completionReturned.notify_all();
}

}  // namespace

extern "C" {

OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL, SystemSoundID* outSystemSoundID) {
  if (!inFileURL || !outSystemSoundID) return kAudio_ParamError;
  std::shared_ptr<const speaker::Clip> clip;
  if (OSStatus status = decode(inFileURL->path(), clip); status != kAudioServicesNoError) return status;
  Registry& sounds = registry();
  std::lock_guard lock(sounds.mutex);
  SystemSoundID sound = sounds.nextID++;
  sounds.sounds.emplace(sound, SystemSound{std::move(clip), nullptr, nullptr});
  *outSystemSoundID = sound;
  return kAudioServicesNoError;
}

void AudioServicesPlaySystemSound(SystemSoundID inSystemSoundID) {
  std::shared_ptr<const speaker::Clip> clip;
  {
    Registry& sounds = registry();
    std::lock_guard lock(sounds.mutex);
    auto found = sounds.sounds.find(inSystemSoundID);
    if (found == sounds.sounds.end()) return;
    clip = found->second.clip;
  }
  if (device::setting("Ringer") == "silent") {
    speaker::skip(inSystemSoundID, soundEnded);
  } else {
    speaker::play(inSystemSoundID, std::move(clip), soundEnded);
  }
}

OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID inSystemSoundID) {
  Registry& sounds = registry();
  {
    std::unique_lock lock(sounds.mutex);
    if (!sounds.sounds.contains(inSystemSoundID)) return kAudioServicesSystemSoundUnspecifiedError;
    sounds.awaitCompletion(lock, inSystemSoundID);
    // Another thread may have disposed of it while this one waited.
    if (sounds.sounds.erase(inSystemSoundID) == 0) return kAudioServicesSystemSoundUnspecifiedError;
  }
  speaker::forget(inSystemSoundID);
  return kAudioServicesNoError;
}

OSStatus AudioServicesAddSystemSoundCompletion(SystemSoundID inSystemSoundID, void* /*inRunLoop*/,
                                               CFStringRef /*inRunLoopMode*/,
                                               AudioServicesSystemSoundCompletionProc inCompletionRoutine,
                                               void* inClientData) {
  if (!inCompletionRoutine) return kAudio_ParamError;
  Registry& sounds = registry();
  std::lock_guard lock(sounds.mutex);
  auto found = sounds.sounds.find(inSystemSoundID);
  if (found == sounds.sounds.end()) return kAudioServicesSystemSoundUnspecifiedError;
  found->second.completion = inCompletionRoutine;
  found->second.clientData = inClientData;
  return kAudioServicesNoError;
}

void AudioServicesRemoveSystemSoundCompletion(SystemSoundID inSystemSoundID) {
  Registry& sounds = registry();
  std::unique_lock lock(sounds.mutex);
  sounds.awaitCompletion(lock, inSystemSoundID);
  auto found = sounds.sounds.find(inSystemSoundID);
  if (found == sounds.sounds.end()) return;
  found->second.completion = nullptr;
  found->second.clientData = nullptr;
}

}  // extern "C"
