#include <dlfcn.h>
#include <sys/stat.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "contract/Orvane.h"
#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/foundation/Foundation.h"
#include "platform/substrate/Loader.h"
#include "tests/support/TemporaryDevice.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* preferencesPath = orvane::contract::preferencesPath.c_str();
constexpr const char* soundDirectory = orvane::contract::soundDirectory.c_str();

/// SpringBoard's volume buttons, as far as the hooks can tell: each press
/// notes how many sounds the speaker had started when the press was handled.
struct FakeVolumeControl {
  static inline int presses = 0;
  static inline std::size_t soundsAtLastPress = 0;
};

std::vector<std::string> playedFiles(const testsupport::TemporaryDevice& device) {
  std::vector<std::string> files;
  std::ifstream in(device.host("/private/var/mobile/Library/Logs/Speaker.jsonl"));
  for (std::string line; std::getline(in, line);) files.push_back(nlohmann::json::parse(line).value("file", ""));
  return files;
}

class HookLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string extensions = device.host("/Library/MobileSubstrate/DynamicLibraries/");
    fs::copy_file(ORVANE_HOOK_LIBRARY, extensions + "Orvane.dylib");
    fs::copy_file(ORVANE_HOOK_FILTER, extensions + "Orvane.plist");
    fs::create_directories(device.host(soundDirectory));
    for (auto& entry : fs::directory_iterator(ORVANE_SOUND_DIR))
      fs::copy_file(entry.path(), device.host(soundDirectory) + entry.path().filename().string());
    current = &device;
  }

  void registerVolumeControl() {
    volumeControl = objc_allocateClassPair(NSObject::class_(), "VolumeControl", 0);
    objc_registerClassPair(volumeControl);
    auto handle = [](id, SEL) {
      ++FakeVolumeControl::presses;
      FakeVolumeControl::soundsAtLastPress = playedFiles(*current).size();
    };
    class_addMethod(volumeControl, sel_registerName("increaseVolume"), reinterpret_cast<IMP>(+handle), "v@:");
    class_addMethod(volumeControl, sel_registerName("decreaseVolume"), reinterpret_cast<IMP>(+handle), "v@:");
  }

  void startSpringBoard() {
    registerVolumeControl();
    ASSERT_EQ(substrate::loadExtensions({"SpringBoard", {"com.apple.springboard"}}).size(), 1u);
    springBoardVolumeControl = objc_createObject(volumeControl);
  }

  void writePreferences(std::initializer_list<std::pair<const char*, NSObject*>> entries, bool announce = true) {
    auto preferences = NSMutableDictionary::dictionary();
    for (auto& [key, value] : entries) preferences->setObject_forKey(value, key);
    ASSERT_TRUE(preferences->writeToFile_atomically(NSSTR(preferencesPath), true));
    if (announce) post();
  }

  void writeRaw(const std::string& contents) { testsupport::writeFile(device.host(preferencesPath), contents); }

  /// Posts the notification and waits for the reload to show; a post that
  /// changes nothing waits the whole `patience`.
  void post(std::chrono::milliseconds patience = std::chrono::seconds(5)) {
    NSString* up = name("kSelectedVolumeIncreaseSound");
    NSString* down = name("kSelectedVolumeDecreaseSound");
    bool enabledBefore = enabled();
    ++generation;
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                         NSSTR(orvane::contract::settingsChanged), nullptr, nullptr, true);
    auto waitWhile = [](std::chrono::steady_clock::duration patience, auto unchanged) {
      auto deadline = std::chrono::steady_clock::now() + patience;
      while (std::chrono::steady_clock::now() < deadline && unchanged())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    waitWhile(patience, [&] {
      return name("kSelectedVolumeIncreaseSound") == up && name("kSelectedVolumeDecreaseSound") == down &&
             enabled() == enabledBefore;
    });
    // The reload stores the switch first, then each name: give the names a moment to follow.
    waitWhile(std::chrono::milliseconds(100), [&] {
      return name("kSelectedVolumeIncreaseSound") == up || name("kSelectedVolumeDecreaseSound") == down;
    });
  }

  void press(const char* selector) { objc_msgSend(springBoardVolumeControl.get(), sel_registerName(selector)); }

  // The snapshot changes on the notify centre's thread: read it as the hooks do.
  static bool enabled() {
    return std::atomic_ref(*static_cast<bool*>(dlsym(RTLD_DEFAULT, "kEnabled"))).load(std::memory_order_acquire);
  }
  static NSString* name(const char* variable) {
    return std::atomic_ref(*static_cast<NSString**>(dlsym(RTLD_DEFAULT, variable))).load(std::memory_order_acquire);
  }

  static inline const testsupport::TemporaryDevice* current = nullptr;
  testsupport::TemporaryDevice device;
  Class volumeControl = nullptr;
  Retained<NSObject> springBoardVolumeControl;
  int generation = 0;
};

std::string theme(const char* name) { return std::string(soundDirectory) + name + ".wav"; }

}  // namespace

TEST_F(HookLibrary, WithoutAFileNothingPlaysUntilTheFirstWriteAndNotification) {
  startSpringBoard();
  EXPECT_FALSE(enabled());
  EXPECT_EQ(name("kSelectedVolumeIncreaseSound"), nullptr);
  press("increaseVolume");
  press("decreaseVolume");
  EXPECT_EQ(FakeVolumeControl::presses, 2);
  EXPECT_TRUE(playedFiles(device).empty());

  writePreferences({{"isEnabled", NSNumber::numberWithBool(true).get()}}, /*announce=*/false);
  press("increaseVolume");
  EXPECT_TRUE(playedFiles(device).empty()) << "the change was not announced yet";
  post();
  press("increaseVolume");
  EXPECT_EQ(playedFiles(device), std::vector<std::string>{theme("Mac Volume Change")});
  EXPECT_EQ(FakeVolumeControl::soundsAtLastPress, 0u) << "SpringBoard's own handling runs before the sound";
}

TEST_F(HookLibrary, AnEmptyFileSwitchesSoundsOnWithTheDefaultTheme) {
  writePreferences({}, false);
  startSpringBoard();
  EXPECT_TRUE(enabled());
  press("increaseVolume");
  press("decreaseVolume");
  EXPECT_EQ(playedFiles(device), (std::vector<std::string>{theme("Mac Volume Change"), theme("Mac Volume Change")}));
}

TEST_F(HookLibrary, EachDirectionPlaysItsOwnChoice) {
  writePreferences({{"selectedIncreaseSound", NSSTR("Click")}, {"selectedDecreaseSound", NSSTR("Chime")}}, false);
  startSpringBoard();
  press("decreaseVolume");
  press("increaseVolume");
  EXPECT_EQ(playedFiles(device), (std::vector<std::string>{theme("Chime"), theme("Click")}));
}

TEST_F(HookLibrary, TheSwitchTakesTheTruthValueOfBooleansAndNumbers) {
  startSpringBoard();
  for (auto& [value, expected] : std::vector<std::pair<Retained<NSObject>, bool>>{
           {NSNumber::numberWithBool(false), false},
           {NSNumber::numberWithInteger(1), true},
           {NSNumber::numberWithInteger(0), false},
           {NSNumber::numberWithBool(true), true}}) {
    writePreferences({{"isEnabled", value.get()}, {"selectedIncreaseSound", NSString::stringWithFormat("T%d", generation).get()}});
    EXPECT_EQ(enabled(), expected) << value->description();
  }
}

TEST_F(HookLibrary, AFileThatIsNoDictionaryOrIsGoneLeavesTheSnapshot) {
  writePreferences({{"selectedIncreaseSound", NSSTR("Click")}}, false);
  startSpringBoard();
  // Nothing is to change, so each post is given a moment to (not) take effect.
  writeRaw("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>Drop</string></array></plist>");
  post(std::chrono::milliseconds(300));
  // The old text format: a list, and a pair without its ";", which is nothing.
  for (const char* text : {"( selectedIncreaseSound, Drop )", "selectedIncreaseSound = Drop"}) {
    writeRaw(text);
    post(std::chrono::milliseconds(300));
  }
  fs::remove(device.host(preferencesPath));
  post(std::chrono::milliseconds(300));
  EXPECT_TRUE(enabled());
  press("increaseVolume");
  EXPECT_EQ(playedFiles(device), std::vector<std::string>{theme("Click")});
}

TEST_F(HookLibrary, NamesAreUsedAsTextUnalteredAndPlayTheFileTheyName) {
  fs::copy_file(device.host(theme("Click")), device.host(soundDirectory) + "7.wav");
  fs::copy_file(device.host(theme("Click")), device.host("/Library/Escaped.wav"));
  fs::create_directories(device.host(soundDirectory) + "more");
  fs::copy_file(device.host(theme("Click")), device.host(soundDirectory) + "more/Deep.wav");
  startSpringBoard();
  writePreferences({{"selectedIncreaseSound", NSNumber::numberWithInteger(7).get()}, {"selectedDecreaseSound", NSSTR("../../Escaped")}});
  press("increaseVolume");
  press("decreaseVolume");
  writePreferences({{"selectedIncreaseSound", NSSTR("more/Deep")}});
  press("increaseVolume");
  writePreferences({{"selectedIncreaseSound", NSSTR("No Such Theme")}});
  press("increaseVolume");
  EXPECT_EQ(playedFiles(device), (std::vector<std::string>{std::string(soundDirectory) + "7.wav",
                                                           std::string(soundDirectory) + "../../Escaped.wav",
                                                           std::string(soundDirectory) + "more/Deep.wav"}));
}

TEST_F(HookLibrary, APreferencesFileInTheOldTextFormatIsReadAsThePlatformReadsIt) {
  writeRaw("// written by hand\n{ isEnabled = 1; selectedIncreaseSound = \"Drop\"; selectedDecreaseSound = Click; }\n");
  startSpringBoard();
  press("increaseVolume");
  press("decreaseVolume");
  // Its switch is a string, whose truth value counts; a strings file's pairs are a dictionary too.
  writeRaw("isEnabled = NO;\nselectedIncreaseSound = Bubble;\n");
  post();
  press("increaseVolume");
  EXPECT_FALSE(enabled());
  EXPECT_EQ(name("kSelectedVolumeIncreaseSound")->utf8(), "Bubble");
  EXPECT_EQ(playedFiles(device), (std::vector<std::string>{theme("Drop"), theme("Click")}));
}

TEST_F(HookLibrary, ReloadingTheSameNameReusesItAndOldNamesStayValid) {
  writePreferences({{"selectedIncreaseSound", NSSTR("Click")}}, false);
  startSpringBoard();
  NSString* first = name("kSelectedVolumeIncreaseSound");
  writePreferences({{"selectedIncreaseSound", NSSTR("Drop")}});
  writePreferences({{"selectedIncreaseSound", NSSTR("Click")}});
  EXPECT_EQ(name("kSelectedVolumeIncreaseSound"), first);
  EXPECT_EQ(first->utf8(), "Click");
}

TEST_F(HookLibrary, WithoutVolumeControlTheSnapshotStillLoads) {
  writePreferences({}, false);
  ASSERT_EQ(substrate::loadExtensions({"SpringBoard", {"com.apple.springboard"}}).size(), 1u);
  EXPECT_TRUE(enabled());
  writePreferences({{"isEnabled", NSNumber::numberWithBool(false).get()}});
  EXPECT_FALSE(enabled());
  EXPECT_EQ(objc_getClass("VolumeControl"), nullptr);
}

TEST_F(HookLibrary, HostileFilesLeaveTheSnapshotAndPressesGoOn) {
  writePreferences({{"selectedIncreaseSound", NSSTR("Click")}}, false);
  startSpringBoard();
  std::string host = device.host("/private" + std::string(preferencesPath));
  std::string outside = device.root() + "-outside.plist";
  testsupport::writeFile(outside, "<plist><dict><key>selectedIncreaseSound</key><string>Drop</string></dict></plist>");
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<array>";
  using namespace std::string_literals;
  std::vector<std::pair<std::string, std::function<void()>>> hostile = {
      {"nested 100,000 deep", [&] { writeRaw("<plist>" + deep + "</plist>"); }},
      {"a NUL in a string",
       [&] { writeRaw("<plist><dict><key>selectedIncreaseSound</key><string>Dr\0op</string></dict></plist>"s); }},
      {"larger than a preferences file may be",
       [&] {
         writeRaw("<plist><dict><key>selectedIncreaseSound</key><string>Drop</string><key>pad</key><string>" +
                  std::string(2 << 20, 'x') + "</string></dict></plist>");
       }},
      {"a FIFO", [&] { ASSERT_EQ(mkfifo(host.c_str(), 0644), 0); }},
      {"a directory", [&] { fs::create_directory(host); }},
      {"a dangling link", [&] { fs::create_symlink("nowhere", host); }},
      {"a link out of the device", [&] { fs::create_symlink(outside, host); }},
      {"a 1 GB sparse file", [&] { fs::resize_file(fs::path(host), std::uintmax_t{1} << 30); }},
  };
  for (auto& [what, make] : hostile) {
    fs::remove_all(host);
    if (what == "a 1 GB sparse file") testsupport::writeFile(host, "");
    make();
    auto start = std::chrono::steady_clock::now();
    post(std::chrono::milliseconds(300));
    press("increaseVolume");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << what;
    EXPECT_EQ(name("kSelectedVolumeIncreaseSound")->utf8(), "Click") << what;
  }
  fs::remove_all(host);
  fs::remove(outside);
  EXPECT_EQ(FakeVolumeControl::presses, static_cast<int>(hostile.size()));
  EXPECT_EQ(playedFiles(device), std::vector<std::string>(hostile.size(), theme("Click")));
}

TEST_F(HookLibrary, OnlyNamesThatCouldNameNoFileAreNotKept) {
  writePreferences({{"selectedIncreaseSound", NSSTR("Click")}}, false);
  startSpringBoard();
  // A path component of at most 255 bytes is a file name, whatever the whole name's length.
  std::string component(251, 'a');
  fs::create_directories(device.host(soundDirectory) + component);
  fs::copy_file(device.host(theme("Drop")), device.host(soundDirectory) + component + "/" + component + ".wav");
  writePreferences({{"selectedIncreaseSound", NSString::stringWithUTF8String(component + "/" + component).get()}});
  press("increaseVolume");
  EXPECT_EQ(playedFiles(device), std::vector<std::string>{std::string(soundDirectory) + component + "/" + component + ".wav"});

  for (const std::string& impossible :
       {std::string(252, 'b'), component + "/" + std::string(256, 'c') + "/x", std::string(100000, 'd'),
        std::string(600, '/') + std::string(500, 'e')}) {
    bool first = name("kSelectedVolumeIncreaseSound") != nullptr;
    writePreferences({{"selectedIncreaseSound", NSString::stringWithUTF8String(impossible).get()}}, first);
    if (!first) post(std::chrono::milliseconds(300));  // nothing changes to wait for
    EXPECT_EQ(name("kSelectedVolumeIncreaseSound"), nullptr) << impossible.size() << " bytes: no name";
    press("increaseVolume");
  }
  EXPECT_EQ(playedFiles(device).size(), 1u);
  writePreferences({{"selectedIncreaseSound", NSSTR("Drop")}});
  press("increaseVolume");
  EXPECT_EQ(playedFiles(device).back(), theme("Drop"));
}

namespace {

std::atomic<bool> lastSoundEnded{false};

void noteEnd(SystemSoundID, void*) { lastSoundEnded = true; }

}  // namespace

TEST_F(HookLibrary, EachPressDisposesOfItsSoundOnceItHasEnded) {
  writePreferences({{"selectedIncreaseSound", NSSTR("Click")}, {"selectedDecreaseSound", NSSTR("Drop")}}, false);
  startSpringBoard();
  press("increaseVolume");
  press("decreaseVolume");
  // One sound at a time: a sound of our own cuts the last press's off, so once
  // it has ended, every press's sound has ended too, and must have been disposed of.
  SystemSoundID last = 0;
  ASSERT_EQ(AudioServicesCreateSystemSoundID(NSURL::fileURLWithPath(NSSTR(theme("Click").c_str())).get(), &last),
            kAudioServicesNoError);
  AudioServicesAddSystemSoundCompletion(last, nullptr, nullptr, noteEnd, nullptr);
  AudioServicesPlaySystemSound(last);
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
       !lastSoundEnded && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(lastSoundEnded);
  for (SystemSoundID pressed : {last - 2, last - 1})
    EXPECT_EQ(AudioServicesDisposeSystemSoundID(pressed), kAudioServicesSystemSoundUnspecifiedError)
        << "the sound of a press is left behind";
  AudioServicesDisposeSystemSoundID(last);
  EXPECT_EQ(playedFiles(device), (std::vector<std::string>{theme("Click"), theme("Drop"), theme("Click")}));
}
