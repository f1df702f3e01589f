// Bytes as a theme file, made into a system sound as SpringBoard's presses do.
#include <sndfile.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "tests/fuzz/FuzzTarget.h"

namespace {

namespace fs = std::filesystem;

const char* const kThemePath = "/Library/Application Support/Orvane/Fuzz.wav";

std::string& temporaryDevice() {
  static std::string root;
  return root;
}

void removeTemporaryDevice() {
  std::error_code ignored;
  fs::remove_all(temporaryDevice(), ignored);
}

void makeTemporaryDevice() {
  if (!temporaryDevice().empty()) return;
  std::string pattern = (fs::temp_directory_path() / "orvane-fuzz-sound-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  temporaryDevice() = pattern;
  std::atexit(removeTemporaryDevice);
  device::setRoot(pattern);
  fs::create_directories(device::hostPath("/Library/Application Support/Orvane"));
}

// A sound written by libsndfile in a format and shape of our choosing.
std::string encoded(int format, int rate, int channels, sf_count_t frames) {
  makeTemporaryDevice();
  std::string path = temporaryDevice() + "/seed";
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return {};
  std::vector<float> samples(static_cast<std::size_t>(frames * channels));
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<float>(i % 200) / 100.0f - 1.0f;
  sf_writef_float(file, samples.data(), frames);
  sf_close(file);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  fs::remove(path);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  makeTemporaryDevice();
  {
    std::ofstream theme(device::hostPath(kThemePath), std::ios::binary | std::ios::trunc);
    theme.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  SystemSoundID sound = 0;
  auto url = NSURL::fileURLWithPath(NSString::stringWithUTF8String(kThemePath).get());
  if (AudioServicesCreateSystemSoundID(url.get(), &sound) == kAudioServicesNoError)
    AudioServicesDisposeSystemSoundID(sound);
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  std::vector<std::string> seeds = {
      encoded(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 441),
      encoded(SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 480),
      encoded(SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 80),
      encoded(SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 2, 220),
      encoded(SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 16000, 1, 400),
      encoded(SF_FORMAT_WAVEX | SF_FORMAT_PCM_32, 96000, 4, 96),
      encoded(SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100, 2, 441),
      encoded(SF_FORMAT_CAF | SF_FORMAT_ALAW, 8000, 1, 80),
      encoded(SF_FORMAT_AU | SF_FORMAT_ULAW, 8000, 1, 80),
      encoded(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, 441),
      encoded(SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1, 4410),
      encoded(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1000, 1, 30 * 1000 + 1),
      std::string("RIFF\x24\x00\x00\x00WAVEfmt ", 16),
      "",
  };
  // A header claiming a rate of 2^31 Hz, and one claiming a gigabyte of sound.
  std::string wave = seeds[0];
  seeds.push_back(wave.substr(0, 24) + std::string("\x00\x00\x00\x80", 4) + wave.substr(28));
  seeds.push_back(wave.substr(0, 40) + std::string("\xd8\xff\xff\x3f", 4) + wave.substr(44));
  return seeds;
}
