#pragma once

#include <string>
#include <vector>

// The substrate's loader of the simulated device.
namespace substrate {

/// What the loader's filters match a host against.
struct Host {
  std::string executable;
  /// Identifiers of the bundles loaded in the host, its own first.
  std::vector<std::string> bundles;
};

/// Loads, with the dynamic loader, each library in
/// "/Library/MobileSubstrate/DynamicLibraries/" whose filter property list
/// beside it matches the host, in name order. Problems are reported on
/// standard error and the library is skipped. Returns the device paths loaded.
std::vector<std::string> loadExtensions(const Host& host);

}  // namespace substrate
