#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Simulator.h"
#include "tests/support/TemporaryDevice.h"

namespace testsupport {

/// orvane-sim as built with these tests.
const char* simulatorPath();

/// A case that runs orvane-sim on a device of its own: "/phone" in a temporary
/// directory, the device of this process and of the commands it starts. The
/// device is made with `init` before each case unless SetUp is overridden.
class SimDeviceTest : public ::testing::Test {
 protected:
  SimDeviceTest();
  void SetUp() override { init(); }

  /// Runs `init` with these words after it; a failure ends the case.
  void init(std::vector<std::string> words = {});
  /// Runs orvane-sim on the device, inside `wrapper` if given (a command given the rest as its words).
  SimResult sim(std::vector<std::string> words, const std::vector<std::string>& wrapper = {}) const;
  /// Starts SpringBoard, running until the case ends; a failure ends the case.
  void startSpringBoard();
  /// The host path of a device path.
  std::string host(const std::string& devicePath) const { return root + devicePath; }
  /// The files SpringBoard played, in order (Settings also plays a theme when it is picked).
  std::vector<std::string> played() const;
  /// The device path of a sound theme's file.
  static std::string theme(const char* name);

  TemporaryDevice device;
  const std::string root;
  SpringBoardProcess springboard;
};

}  // namespace testsupport
