#pragma once

namespace orvane {

/// Orvane's preferences on the device: the user's own file, which stays under
/// /var/mobile whatever the install root.
inline constexpr const char* preferencesPath = "/var/mobile/Library/Preferences/com.quillmark.orvane.plist";

}  // namespace orvane
