#include "tests/fuzz/FuzzDevice.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"

namespace fuzzseeds {

const std::string& fuzzDevice() {
  // Never destroyed, so the exit handler can still name it.
  static const std::string* root = [] {
    auto* made = new std::string((std::filesystem::temp_directory_path() / "orvane-fuzz-XXXXXX").string());
    if (!mkdtemp(made->data())) std::abort();
    device::setRoot(*made);
    setenv("ORVANE_DEVICE", made->c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*root, ignored);
    });
    return made;
  }();
  return *root;
}

void putDeviceFile(const std::string& devicePath, std::string_view bytes) {
  std::string host = fuzzDevice() + devicePath;
  if (!files::makeDirectories(std::filesystem::path(host).parent_path().string())) std::abort();
  std::ofstream(host, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace fuzzseeds
