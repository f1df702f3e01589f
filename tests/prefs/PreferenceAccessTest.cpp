#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>

#include "contract/Orvane.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/device/PreferencesChange.h"
#include "tests/prefs/SettingsBundle.h"

using namespace settingsbundle;

namespace {

// The hook library reads the file through /var/mobile; the pages write it through /User.
constexpr const char* storedPath = orvane::contract::preferencesPath.c_str();

class PreferenceAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle = installBuilt(device);
    controller = page("QMOrvaneListController", bundle);
    ASSERT_TRUE(controller);
  }

  void set(objc_object* value, PSSpecifier* specifier) {
    objc::send(controller.get(), "setPreferenceValue:specifier:", value, specifier);
  }
  objc_object* read(PSSpecifier* specifier) { return objc::send<id>(controller.get(), "readPreferenceValue:", specifier); }
  static std::string stored() {
    auto preferences = NSDictionary::dictionaryWithContentsOfFile(NSSTR(storedPath));
    return preferences ? preferences->description() : "(no file)";
  }
  void writeRaw(const std::string& contents) { testsupport::writeFile(device.host(storedPath), contents); }

  static Retained<PSSpecifier> row(const char* key, bool announced = true) {
    auto specifier = PSSpecifier::specifier();
    specifier->setCellType(PSSwitchCell);
    if (key) specifier->setProperty_forKey(NSSTR(key), "key");
    if (announced) specifier->setProperty_forKey(NSSTR(settingsChanged), "PostNotification");
    return specifier;
  }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  NSBundle* bundle = nullptr;
  Retained<PSListController> controller;
};

}  // namespace

namespace {

struct Announcements {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::string> storedWhenAnnounced;

  static void callback(CFNotificationCenterRef, void* observer, CFStringRef, const void*, CFDictionaryRef) {
    auto* self = static_cast<Announcements*>(observer);
    auto preferences = NSDictionary::dictionaryWithContentsOfFile(NSSTR(storedPath));
    std::lock_guard lock(self->mutex);
    self->storedWhenAnnounced.push_back(preferences ? foundation::describe(preferences->objectForKey("selectedIncreaseSound"))
                                                    : "(no file)");
    self->arrived.notify_all();
  }
};

}  // namespace

TEST_F(PreferenceAccess, EachWriteStoresItsKeyAndKeepsEveryOtherKey) {
  auto enabled = row("isEnabled");
  auto decrease = row("selectedDecreaseSound");
  set(NSNumber::numberWithBool(true).get(), enabled.get());
  EXPECT_EQ(stored(), "{\n    isEnabled = 1;\n}") << "the first write makes the file with that key alone";
  set(NSSTR("Chime"), decrease.get());
  // Another writer (defaults) adds a key the bundle knows nothing of.
  auto other = NSMutableDictionary::dictionaryWithContentsOfFile(NSSTR(storedPath));
  other->setObject_forKey(NSNumber::numberWithInteger(3).get(), "foreign");
  ASSERT_TRUE(other->writeToFile_atomically(NSSTR(storedPath), true));
  set(NSNumber::numberWithBool(false).get(), enabled.get());
  EXPECT_EQ(stored(), "{\n    foreign = 3;\n    isEnabled = 0;\n    selectedDecreaseSound = Chime;\n}");
  EXPECT_EQ(foundation::describe(read(decrease.get())), "Chime");
  auto* isEnabled = objc_cast<NSNumber>(read(enabled.get()));
  ASSERT_TRUE(isEnabled);
  EXPECT_EQ(isEnabled->kind(), NSNumber::Kind::Boolean);
  EXPECT_FALSE(isEnabled->boolValue());
}

TEST_F(PreferenceAccess, ARowWithoutKeyOrAChangeWithoutValueStoresNothing) {
  set(NSSTR("Chime"), row(nullptr).get());
  set(nullptr, row("selectedDecreaseSound").get());
  set(NSSTR("Chime"), nullptr);
  EXPECT_EQ(stored(), "(no file)");
  EXPECT_EQ(read(nullptr), nullptr);
}

TEST_F(PreferenceAccess, AnUnreadableFileIsReplacedByOneHoldingOnlyTheNewEntry) {
  auto increase = row("selectedIncreaseSound");
  for (const char* contents :
       {"not a property list", "",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>Drop</string></array></plist>",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>isEnabled</key><true/>"}) {
    writeRaw(contents);
    set(NSSTR("Click"), increase.get());
    EXPECT_EQ(stored(), "{\n    selectedIncreaseSound = Click;\n}") << contents;
  }
}

TEST_F(PreferenceAccess, TheMasterSwitchShowsItsDefaultOnUntilStoredAndAThemePickStoresTheThemeAlone) {
  Retained<PSListController> root = page("OrvaneListController", bundle);
  PSSpecifier* enabled = nullptr;
  for (auto& item : *objc::send<NSArray*>(root.get(), "specifiers"))
    if (auto* specifier = objc_cast<PSSpecifier>(item.get()); specifier && specifier->cellType() == PSSwitchCell)
      enabled = specifier;
  ASSERT_TRUE(enabled);
  ASSERT_EQ(foundation::describe(enabled->propertyForKey("key")), "isEnabled");
  auto shown = [&] {
    auto* value = objc_cast<NSNumber>(objc::send<id>(root.get(), "readPreferenceValue:", enabled));
    return value ? (value->boolValue() ? "on" : "off") : "nothing";
  };
  EXPECT_STREQ(shown(), "on") << "no file: the row's default";

  // A theme picked first makes the file with the theme alone; SpringBoard then
  // plays, as a file without the switch says, and the switch still shows on.
  set(NSSTR("Click"), row("selectedIncreaseSound").get());
  EXPECT_EQ(stored(), "{\n    selectedIncreaseSound = Click;\n}");
  EXPECT_STREQ(shown(), "on");

  objc::send(root.get(), "setPreferenceValue:specifier:", NSNumber::numberWithBool(false).get(), enabled);
  EXPECT_STREQ(shown(), "off");
  EXPECT_EQ(stored(), "{\n    isEnabled = 0;\n    selectedIncreaseSound = Click;\n}");
}

TEST_F(PreferenceAccess, AChangeMadeInSettingsKeepsAnUnreadableFileAndNotesAFailedWrite) {
  auto enabled = row("isEnabled");
  std::string unreadable = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>mine</key><string>kept";
  writeRaw(unreadable);
  {
    device::PreferencesChange change;
    controller->setSwitch(enabled.get(), true);
    EXPECT_TRUE(change.failures().empty());
  }
  EXPECT_EQ(stored(), "{\n    isEnabled = 1;\n}");
  EXPECT_EQ(testsupport::readFile(device.host(storedPath) + ".unreadable"), unreadable);

  static Announcements announcements;  // the centre may call back until the process ends
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), &announcements, Announcements::callback,
                                  CFSTR(settingsChanged), nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
  std::filesystem::remove(device.host(storedPath));
  std::filesystem::create_directory(device.host(storedPath));
  device::PreferencesChange change;
  controller->setSwitch(enabled.get(), false);
  EXPECT_EQ(change.failures(), std::vector<std::string>{"cannot write /var/mobile/Library/Preferences/com.quillmark.orvane.plist: "
                                                        "Is a directory"});
  std::unique_lock lock(announcements.mutex);
  EXPECT_TRUE(announcements.arrived.wait_for(lock, std::chrono::seconds(5),
                                             [] { return !announcements.storedWhenAnnounced.empty(); }))
      << "a failed write is announced all the same";
  lock.unlock();
  CFNotificationCenterRemoveEveryObserver(CFNotificationCenterGetDarwinNotifyCenter(), &announcements);
}

TEST_F(PreferenceAccess, EveryRowShowsItsDefaultUntilAValueIsStored) {
  std::vector<Retained<PSListController>> pages = {page("OrvaneListController", bundle),
                                                   page("QMOrvaneConfigurationListController", bundle)};
  std::vector<PSSpecifier*> keyed;
  for (auto& shown : pages)
    for (auto& item : *objc::send<NSArray*>(shown.get(), "specifiers"))
      if (auto* specifier = objc_cast<PSSpecifier>(item.get()); specifier && specifier->propertyForKey("key"))
        keyed.push_back(specifier);
  ASSERT_EQ(keyed.size(), 3u);
  for (PSSpecifier* specifier : keyed) {
    // Rows are read through their target, the page that loaded them.
    auto* target = specifier->target();
    ASSERT_TRUE(target);
    EXPECT_EQ(objc::send<id>(target, "readPreferenceValue:", specifier), specifier->propertyForKey("default"))
        << specifier->description();
  }

  // What the rows show: switch on, both themes the default.
  pages[0]->view();
  pages[0]->table()->reloadData();
  auto* control = objc_cast<UISwitch>(pages[0]->table()->cellForRowAtIndexPath(0, 0)->accessoryView());
  ASSERT_TRUE(control);
  EXPECT_TRUE(control->isOn());
  pages[1]->view();
  pages[1]->table()->reloadData();
  for (long section : {0, 1})
    EXPECT_EQ(foundation::describe(pages[1]->table()->cellForRowAtIndexPath(section, 0)->detailTextLabel()->text()),
              "Mac Volume Change");

  writeRaw("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>selectedIncreaseSound</key><string>Drop</string>"
           "</dict></plist>");
  pages[1]->table()->reloadData();
  EXPECT_EQ(foundation::describe(pages[1]->table()->cellForRowAtIndexPath(0, 0)->detailTextLabel()->text()), "Drop");
  EXPECT_EQ(foundation::describe(pages[1]->table()->cellForRowAtIndexPath(1, 0)->detailTextLabel()->text()),
            "Mac Volume Change");
}


TEST_F(PreferenceAccess, TheChangeIsAnnouncedOnceTheFileHoldsIt) {
  static Announcements announcements;  // the centre may call back until the process ends
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), &announcements, Announcements::callback,
                                  CFSTR(settingsChanged), nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
  set(NSSTR("Click"), row("selectedIncreaseSound").get());
  std::unique_lock lock(announcements.mutex);
  ASSERT_TRUE(announcements.arrived.wait_for(lock, std::chrono::seconds(5),
                                             [] { return !announcements.storedWhenAnnounced.empty(); }));
  EXPECT_EQ(announcements.storedWhenAnnounced.front(), "Click");
  lock.unlock();
  CFNotificationCenterRemoveEveryObserver(CFNotificationCenterGetDarwinNotifyCenter(), &announcements);
}

namespace {

constexpr std::size_t payloadSize = 64 * 1024;

Retained<NSString> payloadOf(int generation) {
  std::string text = std::to_string(10000000 + generation);
  text.resize(payloadSize, 'x');
  return NSString::stringWithUTF8String(text);
}

/// Reads the file until told to stop; answers "reads torn generations".
[[noreturn]] void readUntilStopped(int ready, int stop, int answer) {
  long reads = 0, torn = 0;
  std::set<std::string> generations;
  char byte = 1;
  [[maybe_unused]] ssize_t written = write(ready, &byte, 1);
  pollfd stopped{stop, POLLIN, 0};
  while (poll(&stopped, 1, 0) == 0) {
    if (!files::readWhole(device::hostPath(storedPath))) continue;
    ++reads;
    auto preferences = NSDictionary::dictionaryWithContentsOfFile(NSSTR(storedPath));
    auto* payload = preferences ? objc_cast<NSString>(preferences->objectForKey("payload")) : nullptr;
    if (!payload || payload->utf8().size() != payloadSize || !preferences->objectForKey("fixed")) {
      ++torn;
      continue;
    }
    generations.insert(payload->utf8().substr(0, 8));
  }
  std::string line = std::to_string(reads) + " " + std::to_string(torn) + " " + std::to_string(generations.size());
  written = write(answer, line.data(), line.size());
  _exit(0);
}

}  // namespace

TEST(PreferenceFile, AReaderInAnotherProcessSeesOnlyWholeFiles) {
  testsupport::TemporaryDevice device;
  int ready[2], stop[2], answer[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(stop), 0);
  ASSERT_EQ(pipe(answer), 0);
  auto initial = NSMutableDictionary::dictionary();
  initial->setObject_forKey(NSSTR("kept"), "fixed");
  initial->setObject_forKey(payloadOf(0).get(), "payload");
  ASSERT_TRUE(initial->writeToFile_atomically(NSSTR(storedPath), true));
  // Forked before the bundle loads and any thread starts.
  pid_t reader = fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    close(stop[1]);
    readUntilStopped(ready[1], stop[0], answer[1]);
  }

  AutoreleasePool pool;
  NSBundle* bundle = installBuilt(device);
  auto controller = page("QMOrvaneListController", bundle);
  auto payload = PSSpecifier::specifier();
  payload->setProperty_forKey(NSSTR("payload"), "key");
  char byte;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  for (int generation = 1; generation <= 150; ++generation)
    objc::send(controller.get(), "setPreferenceValue:specifier:", static_cast<id>(payloadOf(generation).get()),
               payload.get());
  close(stop[1]);
  char line[64] = {};
  ASSERT_GT(::read(answer[0], line, sizeof line - 1), 0);
  int status = 0;
  waitpid(reader, &status, 0);
  long reads = 0, torn = -1, generations = 0;
  ASSERT_EQ(sscanf(line, "%ld %ld %ld", &reads, &torn, &generations), 3) << line;
  EXPECT_EQ(torn, 0) << reads << " reads";
  EXPECT_GT(generations, 1) << "the reader must have raced the writes";
}
