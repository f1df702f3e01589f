#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "platform/foundation/NSBundle.h"
#include "tests/support/Samples.h"
#include "tests/support/TemporaryDevice.h"

using Table = std::map<std::string, std::string>;

namespace {

using testsupport::utf16;

constexpr const char* bundlePath = "/Library/PreferenceBundles/Test.bundle";

class Bundle : public ::testing::Test {
 protected:
  void write(const std::string& name, const std::string& contents) {
    testsupport::writeFile(device.host(bundlePath) + "/" + name, contents);
  }
  void writeInfo(const char* developmentRegion) {
    write("Info.plist", std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                    "<key>CFBundleDevelopmentRegion</key><string>") +
                            developmentRegion + "</string></dict></plist>");
  }
  std::string lookUp(const char* key, const char* value = nullptr, const char* table = nullptr) {
    NSBundle* bundle = NSBundle::bundleWithPath(NSSTR(bundlePath));
    if (!bundle) return "(no bundle)";
    return bundle->localizedStringForKey_value_table(NSSTR(key), value ? NSSTR(value) : nullptr,
                                                     table ? NSSTR(table) : nullptr)->utf8();
  }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
};

}  // namespace

TEST(StringsTable, TheTextFormTakesCommentsEscapesAndBareWords) {
  auto table = foundation::parseStringsTable(
      "/* A block\n   comment */\n"
      "// a line comment\n"
      "\"quote\" = \"say \\\"hi\\\"\";  /* after */\n"
      "\"lines\"=\"one\\ntwo\\tand \\\\ back\";\n"
      "\"accent\" = \"caf\\U00e9 \\u00FC\";\n"
      "bare_key.1 = bare/value;\n"
      "\"alone\";\n"
      "\"Lautst\xC3\xA4rke\" = \"t\xC3\xB6ne\";\n");
  ASSERT_TRUE(table);
  EXPECT_EQ(*table, (Table{{"quote", "say \"hi\""},
                           {"lines", "one\ntwo\tand \\ back"},
                           {"accent", "caf\xC3\xA9 \xC3\xBC"},
                           {"bare_key.1", "bare/value"},
                           {"alone", "alone"},
                           {"Lautst\xC3\xA4rke", "t\xC3\xB6ne"}}));
}

TEST(StringsTable, BrokenTextIsNoTable) {
  for (const char* text : {"\"a\" = \"b\"", "\"a\" = ;", "\"a\" \"b\";", "/* never closed", "\"a\" = \"open;",
                           "\"a\" = \"b\" \"c\";"})
    EXPECT_FALSE(foundation::parseStringsTable(text)) << text;
  EXPECT_EQ(foundation::parseStringsTable(""), Table{});
  EXPECT_EQ(foundation::parseStringsTable("\xEF\xBB\xBF\"a\" = \"b\";"), (Table{{"a", "b"}})) << "a UTF-8 mark";
}

TEST(StringsTable, ABrokenTableSaysOnWhichLineItBroke) {
  struct Case {
    const char* text;
    std::size_t line;
    const char* reason;
  };
  for (const Case& broken : {
           Case{"\"a\" = \"b\";\n\"c\" = \"d\"\n\"e\" = \"f\";\n", 2, "expected \";\" after the value"},
           Case{"\"a\" = \"b\";\n\n\"c\" \"d\";", 3, "expected \"=\" or \";\" after the key"},
           Case{"/* one\n two */ \"a\" = ;", 2, "expected a value"},
           Case{"\"a\" = \"b\";\n/* never\nclosed", 2, "a comment is never closed"},
           Case{"\"a\" = \"b\";\n\"c\" = \"open;\n\"e\" = \"f;", 3, "expected \";\" after the value"},
           Case{"\"a\" = \"b\";\n\"c\" = \"open;\n", 2, "a quoted string is never closed"},
           Case{"<plist><array/></plist>", 1, "not a property list of strings"},
       }) {
    foundation::StringsTableError error;
    EXPECT_FALSE(foundation::parseStringsTable(broken.text, &error)) << broken.text;
    EXPECT_EQ(error.line, broken.line) << broken.text;
    EXPECT_EQ(error.reason, broken.reason) << broken.text;
  }
}

TEST(StringsTable, TextThatIsNotUnicodeComesOutAsReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  auto escapes = foundation::parseStringsTable(
      "\"lone high\" = \"a\\UD800b\";\n"
      "\"lone low\" = \"\\uDC00\";\n"
      "\"high then no low\" = \"\\UD83D\\u0041\";\n"
      "\"pair\" = \"\\UD83D\\uDD14\";\n"
      "\"two highs\" = \"\\UD83D\\UD83D\\uDD14\";\n");
  ASSERT_TRUE(escapes);
  EXPECT_EQ(*escapes, (Table{{"lone high", "a" + replacement + "b"},
                             {"lone low", replacement},
                             {"high then no low", replacement + "A"},
                             {"pair", "\xF0\x9F\x94\x94"},
                             {"two highs", replacement + "\xF0\x9F\x94\x94"}}));

  auto bytes = foundation::parseStringsTable("\"k\xFF\" = \"over\xC0\xAFlong \xED\xA0\x80 cut \xE2\x82\";");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, (Table{{"k" + replacement, "over" + replacement + replacement + "long " + replacement + replacement +
                                                    replacement + " cut " + replacement + replacement}}));

  std::u16string lone = u"\"k\" = \"x\";";
  lone[7] = 0xD800;
  EXPECT_EQ(foundation::parseStringsTable(utf16(lone, true)), (Table{{"k", replacement}})) << "a lone UTF-16 surrogate";
}

TEST(StringsTable, OnlyAFileThatStartsAsAPropertyListIsReadAsOne) {
  EXPECT_EQ(foundation::parseStringsTable("/* How to write <plist> */\n\"HELP\" = \"Use <plist version=1>\";"),
            (Table{{"HELP", "Use <plist version=1>"}}));
  const std::string list = "<plist version=\"1.0\"><dict><key>A</key><string>B</string></dict></plist>";
  EXPECT_EQ(foundation::parseStringsTable("\xEF\xBB\xBF \n\t" + list), (Table{{"A", "B"}}));
  EXPECT_EQ(foundation::parseStringsTable("<?xml version=\"1.0\"?>" + list), (Table{{"A", "B"}}));
}

TEST(StringsTable, UTF16InEitherByteOrderWithSurrogatePairs) {
  std::u16string text = u"/* c */ \"k\u00e9y\" = \"\u20ac \U0001F514\";";
  Table expected{{"k\xC3\xA9y", "\xE2\x82\xAC \xF0\x9F\x94\x94"}};
  EXPECT_EQ(foundation::parseStringsTable(utf16(text, true)), expected);
  EXPECT_EQ(foundation::parseStringsTable(utf16(text, false)), expected);
}

TEST(StringsTable, APropertyListOfStringsIsATable) {
  auto table = foundation::parseStringsTable(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>ENABLED</key><string>Volume Sounds</string><key>COUNT</key><integer>3</integer></dict></plist>");
  EXPECT_EQ(table, (Table{{"ENABLED", "Volume Sounds"}})) << "values that are no strings are left out";
  EXPECT_FALSE(foundation::parseStringsTable("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"));
}

TEST_F(Bundle, ARegionalLanguageFallsBackToItsBaseThenToTheDevelopmentLanguage) {
  writeInfo("fr");
  write("de-AT.lproj/Localizable.strings", "\"ONLY_AT\" = \"Servus\"; \"BOTH\" = \"AT\";");
  write("de.lproj/Localizable.strings", "\"BOTH\" = \"DE\"; \"ONLY_DE\" = \"Hallo\";");
  write("fr.lproj/Localizable.strings", "\"ONLY_FR\" = \"Bonjour\"; \"BOTH\" = \"FR\";");
  write("en.lproj/Localizable.strings", "\"ONLY_EN\" = \"Hello\";");
  ASSERT_TRUE(device::setSetting("Language", "de-AT"));
  NSBundle* bundle = NSBundle::bundleWithPath(NSSTR(bundlePath));
  ASSERT_TRUE(bundle);
  EXPECT_EQ(bundle->searchLanguages(), (std::vector<std::string>{"de-AT", "de", "fr"}));
  EXPECT_EQ(lookUp("ONLY_AT"), "Servus");
  EXPECT_EQ(lookUp("BOTH"), "AT");
  EXPECT_EQ(lookUp("ONLY_DE"), "Hallo");
  EXPECT_EQ(lookUp("ONLY_FR"), "Bonjour");
  EXPECT_EQ(lookUp("ONLY_EN"), "ONLY_EN") << "English is not the development language here";

  ASSERT_TRUE(device::setSetting("Language", "de_CH"));
  EXPECT_EQ(lookUp("BOTH"), "DE");
  ASSERT_TRUE(device::setSetting("Language", "fr"));
  EXPECT_EQ(lookUp("BOTH"), "FR");
}

TEST_F(Bundle, WithoutADevelopmentLanguageEnglishIsTheLast) {
  write("en.lproj/Localizable.strings", "\"ONLY_EN\" = \"Hello\";");
  ASSERT_TRUE(device::setSetting("Language", "de"));
  EXPECT_EQ(lookUp("ONLY_EN"), "Hello");
}

TEST_F(Bundle, AMissingKeyComesBackUnchangedOrAsTheGivenValue) {
  writeInfo("en");
  write("en.lproj/Localizable.strings", "\"KNOWN\" = \"Known\";");
  write("en.lproj/Other.strings", "\"KNOWN\" = \"Other\";");
  EXPECT_EQ(lookUp("UNKNOWN"), "UNKNOWN");
  EXPECT_EQ(lookUp("UNKNOWN", ""), "UNKNOWN");
  EXPECT_EQ(lookUp("UNKNOWN", "Fallback"), "Fallback");
  EXPECT_EQ(lookUp("KNOWN", "Fallback"), "Known");
  EXPECT_EQ(lookUp("KNOWN", nullptr, "Other"), "Other");
  EXPECT_EQ(lookUp("KNOWN", nullptr, ""), "Known") << "an empty table name is Localizable";
  EXPECT_EQ(lookUp("KNOWN", nullptr, "Missing"), "KNOWN");
}

TEST_F(Bundle, ABrokenTableIsSkippedForTheNextLanguage) {
  writeInfo("en");
  write("de.lproj/Localizable.strings", "\"KNOWN\" = \"Bekannt\"");
  write("en.lproj/Localizable.strings", "\"KNOWN\" = \"Known\";");
  ASSERT_TRUE(device::setSetting("Language", "de"));
  EXPECT_EQ(lookUp("KNOWN"), "Known");
}

TEST_F(Bundle, ABrokenTableIsReportedWithItsFileAndLine) {
  writeInfo("en");
  write("de.lproj/Localizable.strings", "/* German */\n\"KNOWN\" = \"Bekannt\"\n\"OTHER\" = \"Andere\";\n");
  ASSERT_TRUE(device::setSetting("Language", "de"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(lookUp("KNOWN"), "KNOWN");
  EXPECT_EQ(lookUp("OTHER"), "OTHER");
  std::string reported = testing::internal::GetCapturedStderr();
  EXPECT_EQ(reported, std::string("NSBundle: ") + bundlePath +
                          "/de.lproj/Localizable.strings:2: expected \";\" after the value; the table is not used\n")
      << "reported once, when the table is first read";
}

TEST_F(Bundle, ATableThatIsNoRegularFileIsSkippedWithoutWaiting) {
  writeInfo("en");
  write("en.lproj/Localizable.strings", "\"KNOWN\" = \"Known\";");
  std::filesystem::create_directories(device.host(bundlePath) + "/de.lproj");
  ASSERT_EQ(mkfifo((device.host(bundlePath) + "/de.lproj/Localizable.strings").c_str(), 0600), 0);
  ASSERT_TRUE(device::setSetting("Language", "de"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(lookUp("KNOWN"), "Known") << "the FIFO is passed over for the next language";
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string("NSBundle: ") + bundlePath + "/de.lproj/Localizable.strings: it is not a regular file; the table is not used\n");
}

TEST_F(Bundle, OneObjectPerPathAndNoneWithoutADirectory) {
  EXPECT_EQ(NSBundle::bundleWithPath(NSSTR(bundlePath)), nullptr);
  writeInfo("en");
  NSBundle* bundle = NSBundle::bundleWithPath(NSSTR(bundlePath));
  ASSERT_TRUE(bundle);
  EXPECT_EQ(NSBundle::bundleWithPath(NSSTR("/Library/PreferenceBundles/Test.bundle/")), bundle);
  EXPECT_EQ(bundle->bundlePath(), bundlePath);
  EXPECT_EQ(NSBundle::bundleWithPath(NSSTR("/Library/PreferenceBundles/Test.bundle/Info.plist")), nullptr);
}
