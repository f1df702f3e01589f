#pragma once

#include <string_view>

#include "contract/Orvane.h"
#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/foundation/Foundation.h"
#include "support/Objects.h"

// How the hook library plays a sound theme: the file of that name, with ".wav"
// added, in the sound directory.
namespace orvane {

/// Whether the theme's path could name a file at all on the device: no
/// component longer than a file name may be (255 bytes), the whole shorter
/// than a path may be (1024 bytes with its end). The name itself is not
/// judged: "/" and ".." in it lead where they lead.
inline bool couldNameThemeFile(std::string_view name) {
  constexpr std::size_t longestFileName = 255, longestPath = 1023;
  constexpr std::size_t extension = contract::soundExtension.view().size();
  if (contract::soundDirectory.view().size() + name.size() + extension > longestPath) return false;
  std::size_t start = 0;
  for (std::size_t end = 0; end <= name.size(); ++end) {
    if (end < name.size() && name[end] != '/') continue;
    std::size_t length = end - start + (end == name.size() ? extension : 0);
    if (length > longestFileName) return false;
    start = end + 1;
  }
  return true;
}

inline void disposeThemeSound(SystemSoundID sound, void*) {
  AudioServicesRemoveSystemSoundCompletion(sound);
  AudioServicesDisposeSystemSoundID(sound);
}

/// Plays the theme of that name from the sound directory once, through the
/// system sound service (so the ringer switch and one sound at a time hold),
/// and disposes of the sound when it has finished, been cut off or silenced.
/// Nothing plays, and nothing is said, for none or a file that is not a sound.
inline void playTheme(id name) {
  if (!name) return;
  Retained<NSString> path = NSString::stringWithFormat(NSSTR(contract::soundPathTemplate), name);
  Retained<NSURL> url = NSURL::fileURLWithPath(path.get());
  SystemSoundID sound = 0;
  if (AudioServicesCreateSystemSoundID(url.get(), &sound) != kAudioServicesNoError) return;
  AudioServicesAddSystemSoundCompletion(sound, nullptr, nullptr, disposeThemeSound, nullptr);
  AudioServicesPlaySystemSound(sound);
}

}  // namespace orvane
