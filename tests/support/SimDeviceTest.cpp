#include "tests/support/SimDeviceTest.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <sstream>

#include "contract/Orvane.h"
#include "platform/device/Device.h"

namespace testsupport {

const char* simulatorPath() { return ORVANE_SIM; }

SimDeviceTest::SimDeviceTest() : root(device.root() + "/phone") {
  device::setRoot(root);
  setenv("ORVANE_DEVICE", root.c_str(), 1);
}

void SimDeviceTest::init(std::vector<std::string> words) {
  words.insert(words.begin(), "init");
  SimResult made = sim(std::move(words));
  ASSERT_EQ(made.status, 0) << made.err;
}

SimResult SimDeviceTest::sim(std::vector<std::string> words, const std::vector<std::string>& wrapper) const {
  return runSim(ORVANE_SIM, root, std::move(words), wrapper);
}

void SimDeviceTest::startSpringBoard() {
  ASSERT_TRUE(springboard.start(ORVANE_SIM, root)) << "SpringBoard did not start";
}

std::vector<std::string> SimDeviceTest::played() const {
  std::vector<std::string> files;
  std::istringstream lines(sim({"log", "--json"}).out);
  for (std::string line; std::getline(lines, line);) {
    auto record = nlohmann::json::parse(line);
    if (record.value("process", "") == "SpringBoard") files.push_back(record.value("file", ""));
  }
  return files;
}

std::string SimDeviceTest::theme(const char* name) {
  return std::string(orvane::contract::soundDirectory) + name + std::string(orvane::contract::soundExtension);
}

}  // namespace testsupport
