#pragma once

#include <string>
#include <vector>

// The preference keys that the installed settings pages read, from the
// specifier lists of the bundle on the device.
namespace pagekeys {

struct Key {
  std::string name{};
  /// The value the page shows while none is stored ("" if it names none).
  std::string fallback{};
  /// Picked from the sound themes (its list's values come from the theme files).
  bool theme = false;
};

/// Every key of the bundle's pages, by name, once each; empty when the bundle
/// is not installed or cannot be read.
std::vector<Key> installed();

/// The names alone.
std::vector<std::string> names(const std::vector<Key>& keys);

}  // namespace pagekeys
