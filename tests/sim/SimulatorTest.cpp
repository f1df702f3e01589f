#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "contract/Orvane.h"
#include "sim/common/Package.h"
#include "tests/support/SimDeviceTest.h"

namespace {

using Result = testsupport::SimResult;

class Simulator : public testsupport::SimDeviceTest {
 protected:
  // Each case makes its device its own way.
  void SetUp() override {}

  std::string log() { return sim({"log"}).out; }
  /// Changes a default; SpringBoard reloads on its notify thread, so give it a moment before the next press.
  void defaults(std::vector<std::string> words) {
    words.insert(words.begin(), "defaults");
    ASSERT_EQ(sim(words).status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
};

int count(const std::string& text, const std::string& part) {
  int found = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

}  // namespace

TEST_F(Simulator, AChangeFromAnotherProcessIsHeardOnTheNextPress) {
  ASSERT_EQ(sim({"init"}).status, 0);
  Result stopped = sim({"status", "--json"});
  EXPECT_EQ(stopped.status, 1);
  EXPECT_NE(stopped.out.find("\"springboardRunning\": false"), std::string::npos) << stopped.out;
  startSpringBoard();
  Result running = sim({"status", "--json"});
  EXPECT_EQ(running.status, 0);
  EXPECT_NE(running.out.find("{\n  \"device\": \"" + root + "\",\n"), std::string::npos) << running.out;
  EXPECT_NE(running.out.find("  \"orvaneInstalled\": true,\n"), std::string::npos) << running.out;
  EXPECT_NE(running.out.find("  \"springboardRunning\": true,\n"), std::string::npos) << running.out;
  Result press = sim({"press", "up"});
  EXPECT_EQ(press.status, 0) << press.err;
  EXPECT_EQ(press.out, "volume up: 9/16\n");
  EXPECT_EQ(log(), "") << "sounds are off until the first write";

  defaults({"write", "isEnabled", "-bool", "true"});
  ASSERT_EQ(sim({"press", "up"}).status, 0);
  defaults({"write", "selectedDecreaseSound", "Chime"});
  ASSERT_EQ(sim({"press", "down", "3"}).status, 0);
  std::string played = log();
  EXPECT_EQ(count(played, "SpringBoard"), 4) << played;
  EXPECT_EQ(count(played, "/Library/Application Support/Orvane/Mac Volume Change.wav"), 1) << played;
  EXPECT_EQ(count(played, "/Library/Application Support/Orvane/Chime.wav"), 3) << played;

  defaults({"write", "isEnabled", "-bool", "false"});
  ASSERT_EQ(sim({"press", "down"}).status, 0);
  ASSERT_EQ(sim({"ringer", "silent"}).status, 0);
  defaults({"delete", "isEnabled"});
  ASSERT_EQ(sim({"press", "down"}).status, 0);
  EXPECT_EQ(count(log(), "SpringBoard"), 4) << "switched off, then silenced by the ringer";
  EXPECT_TRUE(std::filesystem::file_size(root + "/var/mobile/Library/Logs/Speaker.wav") > 44);
}

TEST_F(Simulator, InitInstallsThePackageAndChangesNothingTheSecondTime) {
  Result first = sim({"init", "--model", "iPad4,1", "--idiom", "pad", "--ios", "8.4"});
  ASSERT_EQ(first.status, 0) << first.err;
  std::string output;
  EXPECT_EQ(package::run({"dpkg-query", "--admindir=" + root + "/var/lib/dpkg", "-W", "-f=${Status} ${Version}",
                          "com.quillmark.orvane"},
                         &output).value_or(-1),
            0);
  EXPECT_EQ(output, "install ok installed 1.0.0");
  for (const char* file : {"/Library/MobileSubstrate/DynamicLibraries/Orvane.dylib",
                           "/Library/MobileSubstrate/DynamicLibraries/Orvane.plist",
                           "/Library/Application Support/Orvane/Mac Volume Change.wav"})
    EXPECT_TRUE(std::filesystem::exists(root + file)) << file;
  ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", "Drop"}).status, 0);
  Result second = sim({"init"});
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(sim({"defaults", "read", "selectedIncreaseSound"}).out, "Drop\n");
  EXPECT_NE(testsupport::readFile(root + "/.orvane-sim/Device.plist").find("iPad4,1"), std::string::npos);
}

TEST_F(Simulator, DefaultsTakeTypesAndSayWhatIsMissing) {
  ASSERT_EQ(sim({"init"}).status, 0);
  EXPECT_EQ(sim({"defaults", "read"}).status, 1);
  ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "yes"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "count", "-int", "12"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", "-string", "Mac Volume Change"}).status, 0);
  EXPECT_EQ(sim({"defaults", "read"}).out,
            "{\n    count = 12;\n    isEnabled = 1;\n    selectedIncreaseSound = \"Mac Volume Change\";\n}\n");
  Result missing = sim({"defaults", "read", "nothing"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("(com.quillmark.orvane, nothing) does not exist"), std::string::npos);
  EXPECT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "perhaps"}).status, 2);
  EXPECT_EQ(sim({"defaults", "delete", "nothing"}).status, 1);
  EXPECT_EQ(sim({"defaults", "delete", "count"}).status, 0);
  EXPECT_EQ(sim({"defaults", "read", "count"}).status, 1);
}

TEST_F(Simulator, WrongUseAndMissingThingsAreSaidPlainly) {
  Result noDevice = sim({"press", "up"});
  EXPECT_EQ(noDevice.status, 1);
  EXPECT_NE(noDevice.err.find("no device at " + root), std::string::npos) << noDevice.err;
  EXPECT_NE(noDevice.err.find("init"), std::string::npos);

  for (auto words : std::vector<std::vector<std::string>>{
           {}, {"fly"}, {"press"}, {"press", "sideways"}, {"press", "up", "0"}, {"defaults", "write", "x"},
           {"ringer", "loud"}, {"notify", "post"}}) {
    Result wrong = sim(words);
    EXPECT_EQ(wrong.status, 2) << testing::PrintToString(words);
    EXPECT_NE(wrong.err.find("--help)\n"), std::string::npos) << wrong.err;
    EXPECT_EQ(wrong.out, "");
  }

  ASSERT_EQ(sim({"init"}).status, 0);
  Result notRunning = sim({"press", "down"});
  EXPECT_EQ(notRunning.status, 1);
  EXPECT_EQ(notRunning.err, "orvane-sim: SpringBoard is not running on device " + root +
                                " (start it with: orvane-sim --device " + root + " springboard --detach)\n");
}

TEST_F(Simulator, OneSpringBoardPerDevice) {
  ASSERT_EQ(sim({"init"}).status, 0);
  startSpringBoard();
  Result second = sim({"springboard"});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("already running"), std::string::npos) << second.err;
}

TEST_F(Simulator, LogReadsAcrossARotationAndSaysWhatItLeavesOut) {
  ASSERT_EQ(sim({"init"}).status, 0);
  const std::string logs = root + "/var/mobile/Library/Logs/";
  std::filesystem::create_directories(logs);
  testsupport::writeFile(logs + "Speaker.1.jsonl",
                         "{\"time\":\"T1\",\"process\":\"SpringBoard\",\"file\":\"/a.wav\"}\n"
                         "{\"time\":1765170000,\"process\":\"SpringBoard\",\"file\":\"/b.wav\"}\n");
  testsupport::writeFile(logs + "Speaker.jsonl",
                         "{\"time\":\"T3\",\"process\":\"Spring\xff\",\"file\":\"/c\xc3.wav\"}\n"
                         "not json\n"
                         "[1,2]\n" +
                             std::string(100000, 'x') + "\n"
                             "{\"time\":\"T4\",\"process\":null,\"file\":{\"n\":1}}\n"
                             "{\"time\":\"T5\",\"process\":\"SpringBoard\",\"fi");
  Result plain = sim({"log"});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out,
            "T1  SpringBoard  /a.wav\n"
            "1765170000  SpringBoard  /b.wav\n"
            "T3  Spring\xEF\xBF\xBD    /c\xEF\xBF\xBD.wav\n"
            "T4  null         {\"n\":1}\n");
  EXPECT_NE(plain.err.find("3 log lines are not sound records"), std::string::npos) << plain.err;

  Result json = sim({"log", "--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out,
            "{\"file\":\"/a.wav\",\"process\":\"SpringBoard\",\"time\":\"T1\"}\n"
            "{\"file\":\"/b.wav\",\"process\":\"SpringBoard\",\"time\":1765170000}\n"
            "{\"file\":\"/c\xEF\xBF\xBD.wav\",\"process\":\"Spring\xEF\xBF\xBD\",\"time\":\"T3\"}\n"
            "{\"file\":{\"n\":1},\"process\":null,\"time\":\"T4\"}\n");

  // Links and other things in the log's place are not read.
  std::filesystem::remove(logs + "Speaker.1.jsonl");
  std::filesystem::create_symlink(logs + "Speaker.jsonl", logs + "Speaker.1.jsonl");
  std::filesystem::remove(logs + "Speaker.jsonl");
  ASSERT_EQ(mkfifo((logs + "Speaker.jsonl").c_str(), 0644), 0);
  Result odd = sim({"log"});
  EXPECT_EQ(odd.status, 0);
  EXPECT_EQ(odd.out, "");
}

TEST_F(Simulator, ThingsInPlaceOfAThemeFileNeitherStopNorSlowSpringBoard) {
  ASSERT_EQ(sim({"init"}).status, 0);
  const std::string sounds = root + orvane::contract::soundDirectory.c_str();
  const std::string click = testsupport::readFile(sounds + "Click.wav");
  ASSERT_EQ(mkfifo((sounds + "Fifo.wav").c_str(), 0644), 0);
  std::filesystem::create_directory(sounds + "Folder.wav");
  std::filesystem::create_symlink(sounds + "Gone.wav", sounds + "Dangling.wav");
  testsupport::writeFile(device.root() + "/outside.wav", click);
  std::filesystem::create_symlink(device.root() + "/outside.wav", sounds + "Outside.wav");
  std::filesystem::create_symlink("../../../../outside.wav", sounds + "Climbing.wav");
  // Click's header, its data said to fill a gigabyte.
  std::string header = click.substr(0, 44);
  ASSERT_EQ(header.substr(36, 4), "data");
  header.replace(40, 4, std::string("\xd4\xff\xff\x3f", 4));
  testsupport::writeFile(sounds + "Huge.wav", header);
  ASSERT_EQ(truncate((sounds + "Huge.wav").c_str(), off_t{1} << 30), 0);
  testsupport::writeFile(sounds + "Zeros.wav", "");
  ASSERT_EQ(truncate((sounds + "Zeros.wav").c_str(), off_t{1} << 30), 0);
  const std::vector<std::string> hostile = {"Fifo", "Folder", "Dangling", "Outside", "Climbing", "Huge", "Zeros"};

  ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "true"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", "Fifo"}).status, 0);
  startSpringBoard();
  for (const std::string& name : hostile) {
    SCOPED_TRACE(name);
    ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", name}).status, 0);
    auto started = std::chrono::steady_clock::now();
    Result pressed = sim({"press", "up", "5"});
    EXPECT_EQ(pressed.status, 0) << pressed.err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  }
  std::string played = log();
  for (const std::string& name : hostile) EXPECT_EQ(played.find(name + ".wav"), std::string::npos) << name;

  ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", "Click"}).status, 0);
  for (int press = 0; press < 50 && log().find("Click.wav") == std::string::npos; ++press)
    ASSERT_EQ(sim({"press", "up"}).status, 0);
  EXPECT_NE(log().find("Click.wav"), std::string::npos);
}
