#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/result/Result.h"

// The simulated device a process belongs to: a directory standing for the
// device's root. Absolute device paths ("/var/mobile/...") are mapped under it.
namespace device {

/// The device root of this process: the one set with setRoot, else
/// $ORVANE_DEVICE, else the per-user default device.
std::string root();
void setRoot(std::string root);

/// The per-user default device directory.
std::string defaultRoot();

/// The orvane-sim command line that runs `words` on this process's device, for
/// hints: it names the device unless it is the default one.
std::string simulatorCommand(std::string_view words);
/// A word as a shell reads it back: quoted when it holds anything but plain letters.
std::string shellWord(std::string_view word);

/// Maps an absolute device path to the host path under the root. ".." never
/// climbs above the root; a relative path is taken as relative to "/".
std::string hostPath(std::string_view devicePath);

/// The device directory of the user's preference files, and the file of one
/// preference domain in it ("/var/mobile/Library/Preferences/DOMAIN.plist").
inline constexpr const char* preferencesDirectory = "/var/mobile/Library/Preferences";
std::string preferencesFile(std::string_view domain);

/// A short name that differs between devices and stays the same for one
/// device (its root's file identity), for naming per-device endpoints.
std::string identity();

/// Whether a directory looks like a device made by createDevice.
bool isDevice(const std::string& root);

/// This process's name as the device reports it (e.g. "SpringBoard").
std::string processName();
void setProcessName(std::string name);

// Simulator-only hardware and account settings of the device, kept in a
// property list outside the iOS tree. Values are read afresh when the file
// changes.
std::optional<std::string> setting(std::string_view key);
bool settingBool(std::string_view key, bool fallback);
double settingDouble(std::string_view key, double fallback);
/// Writes one setting atomically; an error if the device cannot be written.
orvane::Result<void> setSetting(std::string_view key, std::string_view value);

/// The host path of the settings file.
std::string settingsFile(const std::string& root);

}  // namespace device
