#pragma once

#include <string>

namespace testsupport {

/// A fresh device directory for one test, made the root of this process and
/// removed afterwards. It holds the links of iOS and the device settings file.
class TemporaryDevice {
 public:
  TemporaryDevice();
  ~TemporaryDevice();
  TemporaryDevice(const TemporaryDevice&) = delete;
  TemporaryDevice& operator=(const TemporaryDevice&) = delete;

  const std::string& root() const { return root_; }
  /// The host path of a device path.
  std::string host(const std::string& devicePath) const { return root_ + devicePath; }

 private:
  std::string root_;
};

/// Reads a host file whole; empty if missing.
std::string readFile(const std::string& hostPath);
void writeFile(const std::string& hostPath, const std::string& contents);

}  // namespace testsupport
