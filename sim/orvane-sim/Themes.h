#pragma once

#include <optional>
#include <string>
#include <vector>

#include "contract/Orvane.h"
#include "platform/result/Result.h"

// The sound themes of a device: the ".wav" files of the sound directory,
// whether the system sound service plays each, and adding and removing them.
namespace themes {

inline constexpr const char* kDirectory = orvane::contract::soundFolder.c_str();
inline constexpr double kLongestSeconds = 30;

struct Theme {
  std::string name{};
  /// Its device path.
  std::string file{};
  bool plays = false;
  /// Why it does not play ("longer than 30 s"); empty when it plays.
  std::string problem{};
  /// What the file holds, as far as it could be read; 0 and "" where not.
  double seconds = 0;
  int rate = 0;
  int channels = 0;
  std::string format{};
};

/// The theme of that name as its file stands now (`problem` "missing" when there is none).
Theme examine(const std::string& name);
/// Every theme of the device, by name.
std::vector<Theme> installed();
/// Their names alone, without reading the files.
std::vector<std::string> installedNames();
std::vector<std::string> names(const std::vector<Theme>& themes);

/// Whether a theme of this name can be a file of the sound directory; the
/// error says why not.
orvane::Result<void> nameFits(const std::string& name);

struct Added {
  Theme theme{};
  /// The seconds cut off by trimming; 0 when nothing was.
  double trimmed = 0;
};

enum class Trim { No, ToLongest };

/// Converts the sound file at a host path into the theme `name` (16-bit WAV at
/// its own rate and channels). Refuses, with the reason, what the system could
/// not play, a name taken or unfit, and a sound directory outside the device.
orvane::Result<Added> add(const std::string& hostFile, const std::string& name, Trim trim);

/// Removes the theme of that name unless a package owns its file.
orvane::Result<void> remove(const std::string& name);

/// The name a file's theme takes by default: its file name without the extension.
std::string nameOfFile(const std::string& hostFile);

}  // namespace themes
