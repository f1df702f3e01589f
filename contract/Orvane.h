#pragma once

#include <cstddef>
#include <string_view>

// What the hook library and the settings bundle agree on. They never call each
// other: they meet only through the preferences file, the sound directory and
// the notification named here. Plain constants, built for the device and for
// the simulation alike; the build checks the bundle's property lists against them.

// The directory the package installs into, before every path of its own
// ("/Library/...", "/usr/bin/..."): empty for the simulated device and rootful
// jailbreaks, "/var/jb" for rootless ones. The build picks it.
#ifndef ORVANE_INSTALL_ROOT
#define ORVANE_INSTALL_ROOT ""
#endif

namespace orvane::contract {

/// A text fixed at compile time, joined from parts with +.
template <std::size_t Size>
struct Text {
  char characters[Size]{};

  constexpr Text() = default;
  consteval Text(const char (&text)[Size]) {
    for (std::size_t index = 0; index < Size; ++index) characters[index] = text[index];
  }
  constexpr const char* c_str() const { return characters; }
  constexpr std::string_view view() const { return {characters, Size - 1}; }
  constexpr operator std::string_view() const { return view(); }
};

template <std::size_t Left, std::size_t Right>
consteval Text<Left + Right - 1> operator+(const Text<Left>& left, const Text<Right>& right) {
  Text<Left + Right - 1> joined;
  for (std::size_t index = 0; index + 1 < Left; ++index) joined.characters[index] = left.characters[index];
  for (std::size_t index = 0; index < Right; ++index) joined.characters[Left - 1 + index] = right.characters[index];
  return joined;
}

template <std::size_t Left, std::size_t Right>
consteval Text<Left + Right - 1> operator+(const Text<Left>& left, const char (&right)[Right]) {
  return left + Text<Right>(right);
}

inline constexpr Text installRoot = ORVANE_INSTALL_ROOT;

/// The preferences domain, which also names the file and the notification.
inline constexpr Text domain = "com.quillmark.orvane";

/// The preferences file stays the user's own, under /var/mobile, whatever the
/// install root. Each reader spells it its own way; all forms lead to one file
/// through the device's links (/var -> /private/var, /User -> /var/mobile).
inline constexpr Text preferencesFileName = domain + ".plist";
inline constexpr Text preferencesPath = Text("/var/mobile/Library/Preferences/") + preferencesFileName;
/// The form the hook library reads.
inline constexpr Text preferencesPathPrivate = Text("/private") + preferencesPath;
/// The form the Settings app's own pages use.
inline constexpr Text preferencesPathUser = Text("/User/Library/Preferences/") + preferencesFileName;

/// Posted after every write of the preferences file; the hook library then reloads it.
inline constexpr Text settingsChanged = domain + "/settingschanged";

/// The keys of the preferences file, and what each means when it is absent.
inline constexpr Text enabledKey = "isEnabled";
inline constexpr Text increaseSoundKey = "selectedIncreaseSound";
inline constexpr Text decreaseSoundKey = "selectedDecreaseSound";
/// A file without the switch plays sounds (no file at all plays nothing).
inline constexpr bool enabledWhenAbsent = true;
/// The theme of a button that has no stored choice.
inline constexpr Text defaultTheme = "Mac Volume Change";

/// The sound themes: theme N is the file "N.wav" of the sound directory.
inline constexpr Text soundExtension = ".wav";
inline constexpr Text soundFolder = installRoot + "/Library/Application Support/Orvane";
/// The same, with the closing slash, as the template begins.
inline constexpr Text soundDirectory = soundFolder + "/";
/// The path of a theme, with the name's text in place of "%@", unaltered.
inline constexpr Text soundPathTemplate = soundDirectory + "%@" + soundExtension;

/// Where the package puts the settings bundle.
inline constexpr Text bundlePath = installRoot + "/Library/PreferenceBundles/Orvane.bundle";

}  // namespace orvane::contract
