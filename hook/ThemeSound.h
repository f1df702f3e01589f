#pragma once

#include <string>

#include "hook/InstallRoot.h"
#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/foundation/Foundation.h"

// How the tweak plays a sound theme: the hook library on each press, the
// settings bundle when a theme is picked. Each binary has its own copy.
namespace orvane {

inline void disposeThemeSound(SystemSoundID sound, void*) {
  AudioServicesRemoveSystemSoundCompletion(sound);
  AudioServicesDisposeSystemSoundID(sound);
}

/// Plays the theme of that name from the sound directory once, through the
/// system sound service (so the ringer switch and one sound at a time hold),
/// and disposes of the sound when it has finished, been cut off or silenced.
/// Nothing plays, and nothing is said, for none, a name holding "/" (which
/// could reach outside the sound directory) or a file that is not a sound.
inline void playTheme(id name) {
  if (!name) return;
  if (foundation::describe(name).find('/') != std::string::npos) return;
  Retained<NSString> path = NSString::stringWithFormat(ORVANE_INSTALL_ROOT "/Library/Application Support/Orvane/%@.wav", name);
  Retained<NSURL> url = NSURL::fileURLWithPath(path.get());
  SystemSoundID sound = 0;
  if (AudioServicesCreateSystemSoundID(url.get(), &sound) != kAudioServicesNoError) return;
  AudioServicesAddSystemSoundCompletion(sound, nullptr, nullptr, disposeThemeSound, nullptr);
  AudioServicesPlaySystemSound(sound);
}

}  // namespace orvane
