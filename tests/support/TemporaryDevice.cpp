#include "tests/support/TemporaryDevice.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/device/Device.h"
#include "platform/device/DeviceSetup.h"

namespace testsupport {

TemporaryDevice::TemporaryDevice() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvane-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary device directory");
  root_ = pattern;
  device::setRoot(root_);
  setenv("ORVANE_DEVICE", root_.c_str(), 1);
  if (auto created = device::createDevice(root_, device::DeviceOptions{}); !created)
    throw std::runtime_error(created.error().message());
}

TemporaryDevice::~TemporaryDevice() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string readFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void writeFile(const std::string& hostPath, const std::string& contents) {
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  std::ofstream(hostPath, std::ios::binary) << contents;
}

}  // namespace testsupport
