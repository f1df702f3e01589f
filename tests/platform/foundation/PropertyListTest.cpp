#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "tests/support/TemporaryDevice.h"

using testsupport::writeFile;

namespace {

constexpr const char* preferences = "/var/mobile/Library/Preferences/com.quillmark.orvane.plist";

Retained<NSMutableDictionary> sample() {
  auto dictionary = NSMutableDictionary::dictionary();
  dictionary->setObject_forKey(NSNumber::numberWithBool(true), "isEnabled");
  dictionary->setObject_forKey(NSSTR("Mac Volume Change"), "selectedIncreaseSound");
  dictionary->setObject_forKey(NSNumber::numberWithInteger(-3), "steps");
  dictionary->setObject_forKey(NSNumber::numberWithDouble(0.25), "level");
  dictionary->setObject_forKey(NSData::dataWithBytes("abc"), "blob");
  dictionary->setObject_forKey(NSArray::arrayWithObjects({NSSTR("Click"), NSNumber::numberWithInteger(2)}), "list");
  return dictionary;
}

}  // namespace

TEST(PropertyList, WhatIsNoDictionaryReadsAsNone) {
  testsupport::TemporaryDevice device;
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences)));
  writeFile(device.host(preferences), "isEnabled = 1");
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences)));
  writeFile(device.host(preferences), "");
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences)));
  writeFile(device.host(preferences), "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>");
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences)));
  writeFile(device.host(preferences), "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>");
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences)));
}

TEST(PropertyList, ValuesSurviveAWriteAndARead) {
  testsupport::TemporaryDevice device;
  ASSERT_TRUE(sample()->writeToFile_atomically(NSSTR(preferences), true));
  auto read = NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->description(), sample()->description());
  auto* steps = objc_cast<NSNumber>(read->objectForKey("steps"));
  ASSERT_TRUE(steps);
  EXPECT_EQ(steps->integerValue(), -3);
  EXPECT_EQ(objc_cast<NSNumber>(read->objectForKey("isEnabled"))->kind(), NSNumber::Kind::Boolean);
}

TEST(PropertyList, BinaryListsAreRead) {
  testsupport::TemporaryDevice device;
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "isEnabled", plist_new_bool(0));
  plist_dict_set_item(root, "selectedDecreaseSound", plist_new_string("Chime"));
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(root, &bytes, &length);
  plist_free(root);
  writeFile(device.host(preferences), std::string(bytes, length));
  free(bytes);
  auto read = NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences));
  ASSERT_TRUE(read);
  EXPECT_FALSE(objc_cast<NSNumber>(read->objectForKey("isEnabled"))->boolValue());
  EXPECT_EQ(read->objectForKey("selectedDecreaseSound")->description(), "Chime");
}

TEST(PropertyList, TheThreeSpellingsOfThePreferencesPathReachOneFile) {
  testsupport::TemporaryDevice device;
  ASSERT_TRUE(sample()->writeToFile_atomically(NSSTR("/User/Library/Preferences/com.quillmark.orvane.plist"), true));
  for (const char* path : {"/private/var/mobile/Library/Preferences/com.quillmark.orvane.plist",
                           "/var/mobile//Library/Preferences/com.quillmark.orvane.plist"}) {
    auto read = NSDictionary::dictionaryWithContentsOfFile(NSString::stringWithUTF8String(path));
    ASSERT_TRUE(read) << path;
    EXPECT_EQ(read->count(), sample()->count());
  }
  EXPECT_TRUE(NSData::dataWithContentsOfFile(NSSTR("/var/mobile//Library/Preferences/com.quillmark.orvane.plist")));
}

TEST(PropertyList, AReaderInAnotherProcessSeesOnlyWholeFiles) {
  testsupport::TemporaryDevice device;
  auto small = NSMutableDictionary::dictionary();
  small->setObject_forKey(NSSTR("small"), "size");
  auto large = sample();
  large->setObject_forKey(NSString::stringWithUTF8String(std::string(200000, 'x')), "padding");
  ASSERT_TRUE(small->writeToFile_atomically(NSSTR(preferences), true));
  pid_t writer = fork();
  if (writer == 0) {
    for (int i = 0; i < 60; ++i) (i % 2 ? small : large)->writeToFile_atomically(NSSTR(preferences), true);
    _exit(0);
  }
  int partial = 0, reads = 0;
  for (;;) {
    int status = 0;
    bool done = waitpid(writer, &status, WNOHANG) == writer;
    auto read = NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences));
    ++reads;
    if (!read || (read->count() != small->count() && read->count() != large->count())) ++partial;
    if (done) break;
  }
  EXPECT_EQ(partial, 0) << "of " << reads << " reads";
  // Nothing but the file itself is left in the directory.
  int entries = 0;
  for ([[maybe_unused]] auto& entry :
       std::filesystem::directory_iterator(device.host("/private/var/mobile/Library/Preferences")))
    ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(PropertyList, WritingSomethingThatIsNoPropertyListFailsAndKeepsTheFile) {
  testsupport::TemporaryDevice device;
  ASSERT_TRUE(sample()->writeToFile_atomically(NSSTR(preferences), true));
  auto bad = NSMutableDictionary::dictionary();
  bad->setObject_forKey(NSURL::fileURLWithPath(NSSTR("/tmp")), "url");
  EXPECT_FALSE(bad->writeToFile_atomically(NSSTR(preferences), true));
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences))->count(), sample()->count());
  EXPECT_FALSE(sample()->writeToFile_atomically(NSSTR("/no/such/directory/file.plist"), true));
}

TEST(Formatting, ObjectsPrintTheirTextualDescription) {
  auto format = [](auto value) { return NSString::stringWithFormat("[%@]", value)->utf8(); };
  EXPECT_EQ(format(NSSTR("Mac Volume Change")), "[Mac Volume Change]");
  EXPECT_EQ(format(NSNumber::numberWithBool(true)), "[1]");
  EXPECT_EQ(format(NSNumber::numberWithInteger(42)), "[42]");
  EXPECT_EQ(format(NSNumber::numberWithDouble(2.5)), "[2.5]");
  EXPECT_EQ(format(nullptr), "[(null)]");
  EXPECT_EQ(format(NSArray::arrayWithObjects({NSSTR("a b"), NSSTR("c")})), "[(\n    \"a b\",\n    c\n)]");
  auto dictionary = NSMutableDictionary::dictionary();
  dictionary->setObject_forKey(NSArray::array(), "empty");
  dictionary->setObject_forKey(NSSTR("Click"), "name");
  EXPECT_EQ(format(dictionary), "[{\n    empty = (\n    );\n    name = Click;\n}]");
  EXPECT_EQ(NSString::stringWithFormat("%d%% of %s, %.1f", 50, "sound", 0.25)->utf8(), "50% of sound, 0.2");
}

TEST(Formatting, FileURLsKeepThePathAndEscapeTheURL) {
  auto url = NSURL::fileURLWithPath(NSSTR("/Library/Application Support/Orvane/Mac Volume Change.wav"));
  EXPECT_EQ(url->path(), "/Library/Application Support/Orvane/Mac Volume Change.wav");
  EXPECT_EQ(url->absoluteString(), "file:///Library/Application%20Support/Orvane/Mac%20Volume%20Change.wav");
}

TEST(Strings, TruthValuesFollowThePlatform) {
  for (const char* yes : {"YES", "true", "1", " +0012", "t"}) EXPECT_TRUE(NSSTR(yes)->boolValue()) << yes;
  for (const char* no : {"NO", "false", "0", "", "-0", "maybe"}) EXPECT_FALSE(NSSTR(no)->boolValue()) << no;
  EXPECT_EQ(NSSTR("a"), NSSTR("a"));
  EXPECT_EQ(NSString::intern("Click"), NSString::intern(std::string("Cli") + "ck"));
}

TEST(DevicePaths, StayUnderTheDeviceRoot) {
  device::setRoot("/devices/one/");
  EXPECT_EQ(device::hostPath("/var/mobile//Library"), "/devices/one/var/mobile/Library");
  EXPECT_EQ(device::hostPath("/../../etc/passwd"), "/devices/one/etc/passwd");
  EXPECT_EQ(device::hostPath("/Library/Application Support/Orvane/../../x"), "/devices/one/Library/x");
  EXPECT_EQ(device::hostPath("/"), "/devices/one/");
}
