#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "platform/foundation/PropertyListDescription.h"
#include "tests/support/Samples.h"
#include "tests/support/TemporaryDevice.h"

using testsupport::writeFile;

namespace {

constexpr const char* preferences = "/var/mobile/Library/Preferences/com.quillmark.orvane.plist";

Retained<NSMutableDictionary> sample() {
  auto dictionary = NSMutableDictionary::dictionary();
  dictionary->setObject_forKey(NSNumber::numberWithBool(true).get(), "isEnabled");
  dictionary->setObject_forKey(NSSTR("Mac Volume Change"), "selectedIncreaseSound");
  dictionary->setObject_forKey(NSNumber::numberWithInteger(-3).get(), "steps");
  dictionary->setObject_forKey(NSNumber::numberWithDouble(0.25).get(), "level");
  dictionary->setObject_forKey(NSData::dataWithBytes("abc").get(), "blob");
  dictionary->setObject_forKey(NSArray::arrayWithObjects({NSSTR("Click"), NSNumber::numberWithInteger(2).get()}).get(), "list");
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

TEST(PropertyList, AnObjectABinaryListSharesIsOneObject) {
  using testsupport::bigEndian;
  testsupport::TemporaryDevice device;
  // {a = S; b = S; list = (S, D, D)} with D = {a = S}: one string, one dictionary.
  std::string root = "\xD3\x01\x02\x03\x04\x04\x05";
  std::string list = "\xA3\x04\x06\x06", shared = "\xD1\x01\x04";
  writeFile(device.host(preferences), testsupport::binaryPropertyList(
                                          {root, "\x51" "a", "\x51" "b", "\x54list", "\x55" "Chime", list, shared}, 4, 1));
  auto read = NSMutableDictionary::dictionaryWithContentsOfFile(NSSTR(preferences));
  ASSERT_TRUE(read);
  auto* items = objc_cast<NSArray>(read->objectForKey("list"));
  ASSERT_TRUE(items);
  ASSERT_EQ(items->count(), 3u);
  EXPECT_EQ(read->objectForKey("a"), read->objectForKey("b"));
  EXPECT_EQ(read->objectForKey("a"), items->objectAtIndex(0));
  EXPECT_EQ(items->objectAtIndex(1), items->objectAtIndex(2));
  EXPECT_EQ(objc_cast<NSDictionary>(items->objectAtIndex(1))->objectForKey("a"), read->objectForKey("a"));
  EXPECT_FALSE(objc_cast<NSMutableDictionary>(items->objectAtIndex(1))) << "a shared dictionary cannot be changed";
  read->setObject_forKey(NSSTR("Tick"), "a");
  EXPECT_EQ(items->description(), "(\n    Chime,\n    {\n        a = Chime;\n    },\n    {\n        a = Chime;\n    }\n)");

  // 1 MB that would be 250 GB as copies: refused with the reason, in no time.
  writeFile(device.host(preferences), testsupport::sharedStringPropertyList(500000, 500000));
  EXPECT_FALSE(NSMutableDictionary::dictionaryWithContentsOfFile(NSSTR(preferences)));
  auto file = readPropertyListFile(preferences, foundation::preferencesFileMaximumBytes);
  ASSERT_FALSE(file);
  EXPECT_FALSE(isAbsentFile(file.error()));
  EXPECT_EQ(file.error().message(), "it expands to more than 1048576 bytes of text and data");

  // A preferences file is read only if what it expands to can be written back as one.
  writeFile(device.host(preferences), testsupport::sharedStringPropertyList(10000, 90));
  auto within = NSMutableDictionary::dictionaryWithContentsOfFile(NSSTR(preferences));
  ASSERT_TRUE(within);
  ASSERT_TRUE(within->writeToFile_atomically(NSSTR(preferences), true));
  EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences)));
  writeFile(device.host(preferences), testsupport::sharedStringPropertyList(10000, 110));
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences)));
}

TEST(PropertyList, TheThreeSpellingsOfThePreferencesPathReachOneFile) {
  testsupport::TemporaryDevice device;
  ASSERT_TRUE(sample()->writeToFile_atomically(NSSTR("/User/Library/Preferences/com.quillmark.orvane.plist"), true));
  for (const char* path : {"/private/var/mobile/Library/Preferences/com.quillmark.orvane.plist",
                           "/var/mobile//Library/Preferences/com.quillmark.orvane.plist"}) {
    auto read = NSDictionary::dictionaryWithContentsOfFile(NSString::stringWithUTF8String(path).get());
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
  large->setObject_forKey(NSString::stringWithUTF8String(std::string(200000, 'x')).get(), "padding");
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
  bad->setObject_forKey(NSURL::fileURLWithPath(NSSTR("/tmp")).get(), "url");
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
  dictionary->setObject_forKey(NSArray::array().get(), "empty");
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

TEST(PropertyList, ARewriteKeepsEveryValue) {
  testsupport::TemporaryDevice device;
  writeFile(device.host(preferences),
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
            "<key>big</key><integer>18446744073709551615</integer><key>small</key><integer>-9223372036854775808</integer>"
            "<key>old</key><date>1800-01-01T00:00:00Z</date><key>later</key><date>2200-06-01T12:30:00.5Z</date>"
            "<key>real</key><real>0.1</real></dict></plist>");
  auto read = NSMutableDictionary::dictionaryWithContentsOfFile(NSSTR(preferences));
  ASSERT_TRUE(read);
  auto* big = objc_cast<NSNumber>(read->objectForKey("big"));
  ASSERT_TRUE(big);
  EXPECT_EQ(big->unsignedLongLongValue(), UINT64_MAX);
  EXPECT_EQ(big->description(), "18446744073709551615");
  EXPECT_FALSE(big->isEqualToNumber(NSNumber::numberWithInteger(-1).get()));
  ASSERT_TRUE(read->writeToFile_atomically(NSSTR(preferences), true));
  std::string once = testsupport::readFile(device.host(preferences));
  // Dates in whole seconds, as the platform writes them.
  for (const char* kept : {"<integer>18446744073709551615</integer>", "<integer>-9223372036854775808</integer>",
                           "<date>1800-01-01T00:00:00Z</date>", "<date>2200-06-01T12:30:00Z</date>", "<real>0.1"})
    EXPECT_NE(once.find(kept), std::string::npos) << kept << " in " << once;
  for (int i = 0; i < 3; ++i) {
    auto again = NSMutableDictionary::dictionaryWithContentsOfFile(NSSTR(preferences));
    ASSERT_TRUE(again);
    ASSERT_TRUE(again->writeToFile_atomically(NSSTR(preferences), true));
    EXPECT_EQ(testsupport::readFile(device.host(preferences)), once) << "rewrite " << i + 2;
  }
  EXPECT_EQ(NSNumber::numberWithDouble(1e300)->integerValue(), INT64_MAX) << "saturated, not undefined";
}

TEST(PropertyList, HostileFilesAreUnreadableWithAReason) {
  testsupport::TemporaryDevice device;
  auto reason = [&] {
    auto file = readPropertyListFile(preferences, foundation::preferencesFileMaximumBytes);
    return file ? std::string("read") : isAbsentFile(file.error()) ? "absent" : file.error().message();
  };
  EXPECT_EQ(reason(), "absent");
  std::string deep = "<plist>";
  for (int i = 0; i < 50000; ++i) deep += "<dict><key>a</key>";
  writeFile(device.host(preferences), deep);
  EXPECT_EQ(reason(), "it is nested deeper than 64 levels");
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences)));

  writeFile(device.host(preferences), std::string("<plist><dict><key>a</key><string>\0</string></dict></plist>", 58));
  EXPECT_EQ(reason(), "it holds a NUL character");
  writeFile(device.host(preferences), "<plist><string>" + std::string(foundation::preferencesFileMaximumBytes, 'x') +
                                          "</string></plist>");
  EXPECT_EQ(reason(), "it is larger than 1048576 bytes");
  // The same size is fine for a bundle's own lists.
  writeFile(device.host("/Library/PreferenceBundles/Orvane.bundle/Big.plist"),
            "<plist><dict><key>items</key><string>" + std::string(foundation::preferencesFileMaximumBytes, 'x') +
                "</string></dict></plist>");
  EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile(NSSTR("/Library/PreferenceBundles/Orvane.bundle/Big.plist")));
}

TEST(PropertyList, UTF16FilesAreReadAsThePlatformReadsThem) {
  testsupport::TemporaryDevice device;
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist version=\"1.0\"><dict>"
                     "<key>selectedDecreaseSound</key><string>Chime</string></dict></plist>";
  std::string wide = "\xFF\xFE";
  for (char c : text) wide += std::string{c, '\0'};
  writeFile(device.host(preferences), wide);
  auto read = NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferences));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->objectForKey("selectedDecreaseSound")->description(), "Chime");
}

TEST(Formatting, DeepAndLargeValuesAreDescribedInBoundedTime) {
  Retained<NSArray> nested = NSArray::arrayWithObjects({NSSTR("Click")});
  for (int i = 0; i < 2000; ++i) nested = NSArray::arrayWithObjects({nested});
  auto start = std::chrono::steady_clock::now();
  std::string text = nested->description();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(text.ends_with("...")) << "2,000 levels of indentation exceed the limit";
  EXPECT_EQ(text.size(), foundation::descriptionMaximumLength + 3);

  auto dictionary = NSMutableDictionary::dictionary();
  dictionary->setObject_forKey(NSArray::arrayWithObjects({NSSTR("a"), NSArray::array().get(), NSNumber::numberWithInteger(1).get()}).get(),
                               "list");
  dictionary->setObject_forKey(NSMutableDictionary::dictionary().get(), "none");
  EXPECT_EQ(dictionary->description(), "{\n    list = (\n        a,\n        (\n        ),\n        1\n    );\n"
                                       "    none = {\n    };\n}");
}

TEST(Strings, InterningIsBoundedInLengthAndCount) {
  EXPECT_EQ(NSString::intern(std::string(NSString::maximumInternedLength + 1, 'x')), nullptr);
  NSString* kept = NSString::intern("Kept");
  ASSERT_TRUE(kept);
  std::size_t made = 0;
  while (NSString::intern("name " + std::to_string(made))) ++made;
  EXPECT_LE(made, NSString::maximumInternedCount);
  EXPECT_EQ(NSString::intern("Kept"), kept) << "what is kept stays the same object";
  EXPECT_EQ(NSString::intern("name 0")->utf8(), "name 0");
  EXPECT_TRUE(NSSTR("a constant is always kept"));
}

TEST(PropertyList, DataOfAFileIsReadOnlyFromARegularFileInsideTheDevice) {
  testsupport::TemporaryDevice device;
  std::string outside = device.root() + "-outside";
  writeFile(outside, "secret");
  std::string folder = device::hostPath("/private/var/mobile/Library/Preferences");
  std::filesystem::create_directories(folder);
  ASSERT_EQ(::mkfifo((folder + "/fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink(outside, folder + "/out");
  writeFile(folder + "/plain", "plain");
  EXPECT_FALSE(NSData::dataWithContentsOfFile(NSSTR("/var/mobile/Library/Preferences/fifo")))
      << "a FIFO is no file, and is not waited on";
  EXPECT_FALSE(NSData::dataWithContentsOfFile(NSSTR("/var/mobile/Library/Preferences/out")));
  auto plain = NSData::dataWithContentsOfFile(NSSTR("/var/mobile/Library/Preferences/plain"));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->bytes(), "plain");
  std::filesystem::remove(outside);
}
