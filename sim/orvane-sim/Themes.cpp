#include "sim/orvane-sim/Themes.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fmt/format.h>
#include <memory>
#include <random>

#include "platform/audiotoolbox/SoundFile.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "sim/common/Package.h"

namespace themes {
namespace {

// A theme is the file "<name>.wav", and a file name holds at most 255 bytes.
constexpr std::size_t kLongestName = 255 - 4;

using files::Descriptor;

struct CloseSound {
  void operator()(SNDFILE* sound) const { sf_close(sound); }
};
using Sound = std::unique_ptr<SNDFILE, CloseSound>;

std::string devicePathOf(const std::string& name) {
  return std::string(kDirectory) + "/" + name + orvane::contract::soundExtension.c_str();
}

/// "WAV 16-bit", "FLAC 24-bit", "MP3".
std::string formatName(int format) {
  SF_FORMAT_INFO major{.format = format & SF_FORMAT_TYPEMASK, .name = nullptr, .extension = nullptr};
  std::string container = sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major) == 0 && major.extension
                              ? major.extension
                              : "?";
  for (char& c : container) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8: return container + " 8-bit";
    case SF_FORMAT_PCM_U8: return container + " 8-bit unsigned";
    case SF_FORMAT_PCM_16: return container + " 16-bit";
    case SF_FORMAT_PCM_24: return container + " 24-bit";
    case SF_FORMAT_PCM_32: return container + " 32-bit";
    case SF_FORMAT_FLOAT: return container + " 32-bit float";
    case SF_FORMAT_DOUBLE: return container + " 64-bit float";
    case SF_FORMAT_ULAW: return container + " u-law";
    case SF_FORMAT_ALAW: return container + " A-law";
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM: return container + " ADPCM";
    case SF_FORMAT_VORBIS: return container + " Vorbis";
    case SF_FORMAT_OPUS: return container + " Opus";
    case SF_FORMAT_MPEG_LAYER_III: return "MP3";
    default: return container;
  }
}

bool isOgg(int descriptor) {
  char magic[4] = {};
  return ::pread(descriptor, magic, sizeof magic, 0) == static_cast<ssize_t>(sizeof magic) &&
         std::memcmp(magic, "OggS", sizeof magic) == 0;
}

std::string secondsText(double seconds) { return fmt::format("{:.1f} s", seconds); }

std::string rateProblem(const SF_INFO& info) {
  if (info.samplerate < soundfile::kLowestRate || info.samplerate > soundfile::kHighestRate)
    return fmt::format("its rate of {} Hz is outside the 1 kHz to 192 kHz the system plays", info.samplerate);
  if (info.channels < 1 || info.channels > soundfile::kMostChannels)
    return fmt::format("its {} channels are more than the 8 the system plays", info.channels);
  return "";
}

/// Fills in what libsndfile reads of the theme's header.
void describe(Theme& theme, int descriptor) {
  if (isOgg(descriptor)) {
    theme.format = "OGG";
    return;
  }
  soundfile::DescriptorFile file{descriptor};
  SF_INFO info{};
  Sound sound(sf_open_virtual(&soundfile::descriptorCalls, SFM_READ, &info, &file));
  if (!sound) return;
  theme.rate = info.samplerate;
  theme.channels = info.channels;
  theme.format = formatName(info.format);
  if (info.samplerate > 0 && info.frames != SF_COUNT_MAX) theme.seconds = static_cast<double>(info.frames) / info.samplerate;
}

/// Why the system sound service refuses the file, for a person.
std::string problemOf(OSStatus status, const Theme& theme, bool regular) {
  switch (status) {
    case kAudioFileFileNotFoundError: return "missing";
    case kAudioFilePermissionsError: return "it cannot be read";
    case kAudioServicesSystemSoundExceededMaximumDurationError:
      return "longer than 30 s" + (theme.seconds > 0 ? " (" + secondsText(theme.seconds) + ")" : std::string());
    case kAudioFileInvalidFileError: return "damaged: no sound could be decoded";
    case kAudioFileUnsupportedFileTypeError:
      if (!regular) return "not a regular file";
      if (theme.format == "OGG") return "Ogg, which the system does not play";
      if (theme.format.empty()) return "not a sound file the system reads (empty, damaged or of another kind)";
      if (theme.rate < soundfile::kLowestRate || theme.rate > soundfile::kHighestRate)
        return fmt::format("a rate of {} Hz, outside 1 kHz to 192 kHz", theme.rate);
      return fmt::format("{} channels, more than 8", theme.channels);
    default: return fmt::format("the system refuses it (status {})", status);
  }
}

/// Whether a host directory lies inside the device root, links resolved.
bool insideDevice(const std::string& hostDirectory) {
  std::error_code error;
  auto root = std::filesystem::canonical(device::root(), error);
  if (error) return false;
  auto directory = std::filesystem::canonical(hostDirectory, error);
  if (error) return false;
  auto [end, _] = std::mismatch(root.begin(), root.end(), directory.begin(), directory.end());
  return end == root.end();
}

/// A file of a not yet used name in the directory, open for writing.
orvane::Result<std::pair<int, std::string>> temporaryIn(int directory, const std::string& name) {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temporary = fmt::format(".{}.wav.{:08x}", name.substr(0, 200), random());
    int descriptor = ::openat(directory, temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (descriptor >= 0) return std::pair{descriptor, temporary};
    if (errno != EEXIST) return orvane::Error(std::strerror(errno), errno);
  }
  return orvane::Error("no free temporary name", EEXIST);
}

}  // namespace

Theme examine(const std::string& name) {
  Theme theme{.name = name, .file = devicePathOf(name)};
  if (auto fits = nameFits(name); !fits) {
    theme.problem = "missing";
    return theme;
  }
  int descriptor = files::openDeviceFile(theme.file);
  if (descriptor < 0) {
    bool absent = errno == ENOENT || errno == ENOTDIR;
    theme.problem = absent ? "missing" : "it cannot be opened: " + std::string(std::strerror(errno));
    // Settings offers any entry of the directory, and plays NAME.wav.
    struct stat entry {};
    if (absent && ::lstat(device::hostPath(std::string(kDirectory) + "/" + name).c_str(), &entry) == 0)
      theme.problem = "its file's name does not end in .wav";
    return theme;
  }
  Descriptor open(descriptor);
  struct stat status {};
  bool regular = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
  if (regular) describe(theme, descriptor);
  std::shared_ptr<const speaker::Clip> clip;
  OSStatus verdict = soundfile::load(theme.file, clip);
  if (verdict != kAudioServicesNoError) {
    theme.problem = problemOf(verdict, theme, regular);
  } else if (clip->frames() == 0) {
    theme.problem = "empty: there is no sound in it";
  } else {
    theme.plays = true;
    theme.seconds = clip->duration();
  }
  return theme;
}

std::vector<std::string> installedNames() {
  // As Settings offers them: every entry, less a final ".wav" (but our own hidden temporaries).
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(device::hostPath(kDirectory), error)) {
    std::string file = entry.path().filename().string();
    if (file[0] == '.') continue;
    found.push_back(file.ends_with(".wav") ? file.substr(0, file.size() - 4) : file);
  }
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
  });
  return found;
}

std::vector<Theme> installed() {
  std::vector<Theme> themes;
  for (const auto& name : installedNames()) themes.push_back(examine(name));
  return themes;
}

std::vector<std::string> names(const std::vector<Theme>& themes) {
  std::vector<std::string> all;
  for (const auto& theme : themes) all.push_back(theme.name);
  return all;
}

orvane::Result<void> nameFits(const std::string& name) {
  if (name.empty()) return orvane::Error("a theme's name cannot be empty");
  if (name.size() > kLongestName)
    return orvane::Error(fmt::format("a theme's name holds at most {} bytes (this one {})", kLongestName, name.size()));
  if (name.find('/') != std::string::npos) return orvane::Error("a theme's name cannot hold \"/\"");
  if (name[0] == '.') return orvane::Error("a theme's name cannot begin with \".\" (the file would be hidden)");
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return orvane::Error("a theme's name cannot hold control characters");
  if (!std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    // Settings shows the name: it must be text.
    std::size_t at = 0;
    while (at < name.size()) {
      auto lead = static_cast<unsigned char>(name[at]);
      std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
      if (length == 0 || at + length > name.size()) return orvane::Error("a theme's name must be UTF-8 text");
      for (std::size_t next = 1; next < length; ++next)
        if ((static_cast<unsigned char>(name[at + next]) & 0xC0) != 0x80) return orvane::Error("a theme's name must be UTF-8 text");
      at += length;
    }
  }
  return orvane::success();
}

std::string nameOfFile(const std::string& hostFile) {
  return std::filesystem::path(hostFile).stem().string();
}

orvane::Result<Added> add(const std::string& hostFile, const std::string& name, Trim trim) {
  if (auto fits = nameFits(name); !fits) return orvane::Error(fits.error().message() + " (give another with --name)");
  int sourceDescriptor = ::open(hostFile.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (sourceDescriptor < 0) return orvane::Error(hostFile + ": " + std::strerror(errno), errno);
  Descriptor source(sourceDescriptor);
  struct stat status {};
  if (::fstat(sourceDescriptor, &status) != 0 || !S_ISREG(status.st_mode))
    return orvane::Error(hostFile + " is not a regular file");
  soundfile::DescriptorFile input{sourceDescriptor};
  SF_INFO info{};
  Sound reader(sf_open_virtual(&soundfile::descriptorCalls, SFM_READ, &info, &input));
  if (!reader)
    return orvane::Error(hostFile + " is not a sound file libsndfile reads (" + sf_strerror(nullptr) + ")");
  if (std::string problem = rateProblem(info); !problem.empty()) return orvane::Error(hostFile + ": " + problem);
  sf_count_t longest = static_cast<sf_count_t>(kLongestSeconds) * info.samplerate;
  bool declaredLonger = info.frames != SF_COUNT_MAX && info.frames > longest;
  auto tooLong = [&] {
    std::string length = declaredLonger ? secondsText(static_cast<double>(info.frames) / info.samplerate) : "over 30 s";
    return orvane::Error(hostFile + " lasts " + length + "; a theme plays at most 30 s (--trim keeps its first 30 s)");
  };
  if (declaredLonger && trim == Trim::No) return tooLong();

  std::string directory = device::hostPath(kDirectory);
  if (!insideDevice(directory))
    return orvane::Error("the sound directory " + std::string(kDirectory) + " is missing or leads out of the device (is Orvane installed?)");
  int directoryDescriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directoryDescriptor < 0) return orvane::Error("cannot open " + std::string(kDirectory) + ": " + std::strerror(errno), errno);
  Descriptor folder(directoryDescriptor);
  std::string file = name + ".wav";
  struct stat existing {};
  if (::fstatat(directoryDescriptor, file.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
    return orvane::Error("a theme named \"" + name + "\" exists already (remove it first, or give another --name)");
  auto made = temporaryIn(directoryDescriptor, name);
  if (!made) return orvane::Error("cannot write in " + std::string(kDirectory) + ": " + made.error().message(), made.error().code());
  auto [outputDescriptor, temporary] = *made;
  Descriptor output(outputDescriptor);
  auto discard = [&, temporary = temporary](orvane::Error error) -> orvane::Result<Added> {
    ::unlinkat(directoryDescriptor, temporary.c_str(), 0);
    return error;
  };

  soundfile::DescriptorFile target{outputDescriptor};
  SF_INFO written{.frames = 0, .samplerate = info.samplerate, .channels = info.channels,
                  .format = SF_FORMAT_WAV | SF_FORMAT_PCM_16, .sections = 0, .seekable = 0};
  Sound writer(sf_open_virtual(&soundfile::descriptorCalls, SFM_WRITE, &written, &target));
  if (!writer) return discard(orvane::Error(std::string("cannot write the theme: ") + sf_strerror(nullptr)));
  // Louder than full scale is clipped, not wrapped around.
  sf_command(writer.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
  constexpr sf_count_t kPart = 8192;
  std::vector<float> samples(static_cast<std::size_t>(kPart) * static_cast<std::size_t>(info.channels));
  sf_count_t total = 0;
  bool cut = false;
  for (;;) {
    sf_count_t got = sf_readf_float(reader.get(), samples.data(), kPart);
    if (got <= 0) break;
    sf_count_t keep = std::min(got, longest - total);
    if (keep < got) {
      if (trim == Trim::No) return discard(tooLong());
      cut = true;
    }
    if (keep > 0 && sf_writef_float(writer.get(), samples.data(), keep) != keep)
      return discard(orvane::Error(std::string("cannot write the theme: ") + sf_strerror(writer.get())));
    total += keep;
    if (cut) break;
  }
  if (total == 0) return discard(orvane::Error(hostFile + " holds no sound"));
  writer.reset();
  if (::fsync(outputDescriptor) != 0)
    return discard(orvane::Error("cannot write the theme: " + std::string(std::strerror(errno)), errno));
  // A link never replaces a theme made meanwhile.
  if (::linkat(directoryDescriptor, temporary.c_str(), directoryDescriptor, file.c_str(), 0) != 0) {
    int error = errno;
    return discard(error == EEXIST ? orvane::Error("a theme named \"" + name + "\" exists already")
                                   : orvane::Error("cannot add " + file + ": " + std::strerror(error), error));
  }
  ::unlinkat(directoryDescriptor, temporary.c_str(), 0);
  ::fsync(directoryDescriptor);

  Added added{.theme = examine(name), .trimmed = 0};
  if (cut) {
    double whole = info.frames != SF_COUNT_MAX && info.frames > longest ? static_cast<double>(info.frames) / info.samplerate : 0;
    added.trimmed = whole > kLongestSeconds ? whole - kLongestSeconds : 0;
  }
  return added;
}

orvane::Result<void> remove(const std::string& name) {
  Theme theme{.name = name, .file = devicePathOf(name)};
  std::string path = device::hostPath(theme.file);
  struct stat status {};
  if (!nameFits(name) || (::lstat(path.c_str(), &status) != 0 && errno == ENOENT))
    return orvane::Error("no theme \"" + name + "\"", ENOENT);
  if (!insideDevice(std::filesystem::path(path).parent_path().string()))
    return orvane::Error("the sound directory " + std::string(kDirectory) + " leads out of the device");
  auto owners = package::owners(device::root(), theme.file);
  if (!owners.empty())
    return orvane::Error(theme.file + " belongs to the package " + owners.front() + ": it goes when that package is removed");
  if (::unlink(path.c_str()) != 0) return orvane::Error("cannot remove " + theme.file + ": " + std::strerror(errno), errno);
  return orvane::success();
}

}  // namespace themes
