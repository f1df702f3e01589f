#pragma once

#include <string>

namespace fuzzseeds {

/// A device directory made once per process under the temporary directory,
/// set as this process's device root and removed at exit.
const std::string& fuzzDevice();

/// Replaces a file of that device (by device path) with the bytes.
void putDeviceFile(const std::string& devicePath, std::string_view bytes);

}  // namespace fuzzseeds
