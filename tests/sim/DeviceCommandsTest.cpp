// The device's own commands: init on a device that exists, set idiom, set
// model and language refusing what the device cannot have, status with the
// device's state, and hints that name the device in use.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "platform/hostrun/Run.h"
#include "tests/support/SimDeviceTest.h"

namespace {

using Result = testsupport::SimResult;

class DeviceCommands : public testsupport::SimDeviceTest {
 protected:
  void SetUp() override {}
  std::string setting(const std::string& key) {
    return nlohmann::json::parse(sim({"status", "--json"}).out)[key].get<std::string>();
  }
};

}  // namespace

TEST_F(DeviceCommands, InitOnADeviceThatExistsSaysWhatItDidNotApplyAndHow) {
  init({"--ios", "8.4", "--language", "de"});
  Result again = sim({"init", "--ios", "9.0", "--idiom", "pad", "--language", "de", "--mail-account", "none"});
  EXPECT_EQ(again.status, 0) << again.err;
  std::string device = "orvane-sim --device " + root;
  EXPECT_EQ(again.err,
            "orvane-sim: warning: --idiom pad was not applied: the device exists and keeps phone (change it with: " +
                device + " set idiom pad)\n"
                "orvane-sim: warning: --mail-account none was not applied: the device exists and keeps "
                "mobile@example.com (change it with: " + device + " mail-account none)\n"
                "orvane-sim: warning: --ios 9.0 was not applied: the device has iOS 8.4, which cannot change (make "
                "another device for it: orvane-sim --device DIR init --ios 9.0)\n");
  EXPECT_EQ(setting("idiom"), "phone");
  EXPECT_EQ(sim({"init", "--ios", "8.4", "--language", "de"}).err, "") << "what the device has is no news";
}

TEST_F(DeviceCommands, TheModelFollowsTheIdiomAndFitsTheSystem) {
  init({"--idiom", "pad"});
  EXPECT_EQ(setting("model"), "iPad4,1") << "a pad is no iPhone";
  Result phone = sim({"set", "idiom", "phone"});
  EXPECT_EQ(phone.status, 0);
  EXPECT_EQ(phone.out, "Idiom: phone (model iPhone7,2)\n");
  EXPECT_EQ(setting("model"), "iPhone7,2");

  const std::pair<std::string, std::string> refused[] = {
      {"iPad4,1", "bad model \"iPad4,1\": iPad4,1 is the iPad Air, a pad, and the device is a phone (make it one first: "
                  "orvane-sim --device " + root + " set idiom pad)"},
      {"iPhone9,1", "bad model \"iPhone9,1\": the iPhone 7 (iPhone9,1) runs iOS 10.0 to 12.0, and the device has iOS 8.1"},
      {"iphone7,2", "bad model \"iphone7,2\": no model has the identifier \"iphone7,2\", did you mean iPhone7,2?"},
  };
  for (const auto& [model, message] : refused) {
    Result result = sim({"set", "model", model});
    EXPECT_EQ(result.status, 2) << model;
    EXPECT_EQ(result.err.rfind("orvane-sim set model: " + message, 0), 0u) << result.err;
  }
  EXPECT_EQ(sim({"set", "model", "iPhone7,1"}).status, 0);
  EXPECT_EQ(setting("model"), "iPhone7,1");
  EXPECT_EQ(sim({"set", "idiom", "phone"}).out, "Idiom: phone\n") << "a model that fits stays";

  Result old = sim({"--device", root + "/old", "init", "--ios", "7.1"});
  EXPECT_EQ(old.status, 0) << old.err;
  EXPECT_EQ(nlohmann::json::parse(sim({"--device", root + "/old", "status", "--json"}).out)["model"], "iPhone6,1")
      << "the iPhone 6 came with iOS 8";
  Result mismatch = sim({"--device", root + "/new", "init", "--idiom", "pad", "--model", "iPhone7,2"});
  EXPECT_EQ(mismatch.status, 2);
  EXPECT_FALSE(std::filesystem::exists(root + "/new")) << "nothing is made of a refused init";
}

TEST_F(DeviceCommands, LanguagesAreThoseTheSystemOffers) {
  init();
  for (const char* code : {"de", "de-AT", "zh-Hans", "pt-PT", "es-419", "en-GB"}) {
    Result set = sim({"language", code});
    EXPECT_EQ(set.status, 0) << code << set.err;
  }
  EXPECT_EQ(setting("language"), "en-GB");
  for (const char* code : {"xx", "de-at", "german", "de-", "../x", "zh-Hanz", ""}) {
    Result refused = sim({"language", code});
    EXPECT_EQ(refused.status, 2) << code;
    EXPECT_NE(refused.err.find("a language the system offers"), std::string::npos) << refused.err;
  }
  EXPECT_EQ(sim({"--device", root + "/other", "init", "--language", "klingon"}).status, 2);
  EXPECT_EQ(setting("language"), "en-GB");
}

TEST_F(DeviceCommands, StatusShowsSpringBoardAndTheDevicesState) {
  init({"--ios", "9.0", "--language", "fr"});
  Result stopped = sim({"status"});
  EXPECT_EQ(stopped.status, 1);
  EXPECT_EQ(stopped.out, "SpringBoard is not running on " + root + " (start it with: orvane-sim --device " + root +
                             " springboard --detach)\nRing/silent switch: ring\nModel: iPhone7,2 (phone), iOS 9.0\n"
                             "Language: fr\n");
  startSpringBoard();
  ASSERT_EQ(sim({"press", "down"}).status, 0);
  ASSERT_EQ(sim({"ringer", "silent"}).status, 0);
  Result running = sim({"status", "--json"});
  EXPECT_EQ(running.status, 0);
  auto state = nlohmann::json::parse(running.out);
  EXPECT_EQ(state["springboardRunning"], true);
  EXPECT_GT(state["springboardPid"].get<int>(), 0);
  EXPECT_EQ(state["volume"], 7);
  EXPECT_EQ(state["ringer"], "silent");
  EXPECT_EQ(state["model"], "iPhone7,2");
  EXPECT_EQ(state["idiom"], "phone");
  EXPECT_EQ(state["iosVersion"], "9.0");
  EXPECT_EQ(state["language"], "fr");
  Result text = sim({"status"});
  EXPECT_EQ(text.out.rfind("SpringBoard is running on " + root + " (pid " + std::to_string(state["springboardPid"].get<int>()) +
                               ")\nVolume: 7/16\nRing/silent switch: silent\n", 0),
            0u) << text.out;
}

TEST_F(DeviceCommands, HintsNameTheDeviceInUseAndOnlyWhenItIsNotTheDefault) {
  Result noDevice = sim({"press", "up"});
  EXPECT_EQ(noDevice.err, "orvane-sim: no device at " + root + " (create it with: orvane-sim --device " + root + " init)\n");
  init();
  for (const char* command : {"press", "status"}) {
    std::vector<std::string> words = {command};
    if (words[0] == "press") words.push_back("up");
    Result result = sim(words);
    EXPECT_NE((result.out + result.err).find("(start it with: orvane-sim --device " + root + " springboard --detach)"),
              std::string::npos) << command << ": " << result.out << result.err;
  }
  // The default device: the same hints, without --device.
  std::string home = device.root() + "/home";
  std::string usual = home + "/.local/share/orvane/device";
  std::vector<std::string> env = {"env", "-u", "ORVANE_DEVICE", "-u", "XDG_DATA_HOME", "HOME=" + home};
  EXPECT_EQ(testsupport::runSim(testsupport::simulatorPath(), usual, {"press", "up"}, env).err,
            "orvane-sim: no device at " + usual + " (create it with: orvane-sim init)\n");
  // The hosts orvane-sim starts say so too, when run by hand.
  for (auto [host, speaker] : {std::pair{"SpringBoard", "SpringBoard"}, {"orvane-serve", "orvane-sim"}}) {
    std::vector<std::string> direct = env;
    direct.push_back(std::filesystem::path(testsupport::simulatorPath()).parent_path() / host);
    auto alone = hostrun::run(direct, hostrun::ErrorStream::Captured);
    ASSERT_TRUE(alone) << host;
    EXPECT_EQ(alone->errors, std::string(speaker) + ": " + usual + " is not a device (create one with: orvane-sim init)\n");
  }
  ASSERT_EQ(testsupport::runSim(testsupport::simulatorPath(), usual, {"init"}, env).status, 0);
  EXPECT_EQ(testsupport::runSim(testsupport::simulatorPath(), usual, {"press", "up"}, env).err,
            "orvane-sim: SpringBoard is not running on device " + usual +
                " (start it with: orvane-sim springboard --detach)\n");
}
