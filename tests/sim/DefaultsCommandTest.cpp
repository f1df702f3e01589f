// orvane-sim defaults as macOS's defaults has it: write refusing a missing
// value, the collection, date and data types, read-type, export, import and
// domains, and warnings for what the pages will not use.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/Foundation.h"
#include "tests/support/SimDeviceTest.h"

namespace {

using Result = testsupport::SimResult;

class Defaults : public testsupport::SimDeviceTest {
 protected:
  std::string read(const std::string& key) { return sim({"defaults", "read", key}).out; }
  std::string type(const std::string& key) { return sim({"defaults", "read-type", key}).out; }
};

}  // namespace

TEST_F(Defaults, WriteWithoutAValueIsRefusedAndStoresNothing) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"defaults", "write", "com.quillmark.orvane", "isEnabled"},
        {"defaults", "write", "isEnabled"},
        {"defaults", "write", "com.quillmark.orvane", "-bool", "true"}}) {
    Result refused = sim(words);
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find("usage: defaults write [DOMAIN] KEY [-TYPE] VALUE"), std::string::npos) << refused.err;
  }
  Result kept = sim({"defaults", "read"});
  EXPECT_EQ(kept.status, 1) << "nothing was written: " << kept.out;
  // A key may still be named like the domain when a value follows.
  EXPECT_EQ(sim({"defaults", "write", "com.quillmark.orvane", "com.quillmark.orvane", "x"}).status, 0);
  EXPECT_EQ(sim({"defaults", "read", "com.quillmark.orvane", "com.quillmark.orvane"}).out, "x\n");
}

TEST_F(Defaults, CollectionsDatesAndDataAreWrittenAndTypedAsOnMacOS) {
  ASSERT_EQ(sim({"defaults", "write", "list", "-array", "a", "b c"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "com.quillmark.orvane", "list", "-array-add", "d", "--", "-e"}).status, 0);
  EXPECT_EQ(read("list"), "(\n    a,\n    \"b c\",\n    d,\n    \"-e\"\n)\n");
  ASSERT_EQ(sim({"defaults", "write", "map", "-dict", "one", "1", "two", "2"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "map", "-dict-add", "two", "zwei", "three", "3"}).status, 0);
  EXPECT_EQ(read("map"), "{\n    one = 1;\n    three = 3;\n    two = zwei;\n}\n");
  ASSERT_EQ(sim({"defaults", "write", "empty", "-array"}).status, 0);
  EXPECT_EQ(read("empty"), "(\n)\n");

  ASSERT_EQ(sim({"defaults", "write", "when", "-date", "2024-05-01 12:30:00 +0200"}).status, 0);
  EXPECT_EQ(read("when"), "2024-05-01 10:30:00 +0000\n");
  ASSERT_EQ(sim({"defaults", "write", "day", "-date", "2016-02-29"}).status, 0);
  EXPECT_EQ(read("day"), "2016-02-29 00:00:00 +0000\n");
  ASSERT_EQ(sim({"defaults", "write", "iso", "-date", "2024-05-01T12:30:00Z"}).status, 0);
  EXPECT_EQ(read("iso"), "2024-05-01 12:30:00 +0000\n");
  ASSERT_EQ(sim({"defaults", "write", "blob", "-data", "00ff10AB"}).status, 0);
  EXPECT_EQ(read("blob"), "{length = 4, bytes = 0x00ff10ab}\n");

  ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "yes"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "count", "-integer", "-3"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "ratio", "-float", "0.5"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "name", "text"}).status, 0);
  const std::pair<const char*, const char*> types[] = {
      {"isEnabled", "boolean"}, {"count", "integer"}, {"ratio", "float"}, {"name", "string"}, {"list", "array"},
      {"map", "dictionary"},    {"when", "date"},     {"blob", "data"}};
  for (const auto& [key, name] : types) EXPECT_EQ(type(key), std::string("Type is ") + name + "\n") << key;
  EXPECT_EQ(sim({"defaults", "read-type", "com.quillmark.orvane", "count"}).out, "Type is integer\n");
  Result absent = sim({"defaults", "read-type", "nothing"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.err, "orvane-sim: the domain/default pair of (com.quillmark.orvane, nothing) does not exist\n");

  // Adding to a value of another kind changes nothing.
  Result notArray = sim({"defaults", "write", "count", "-array-add", "x"});
  EXPECT_EQ(notArray.status, 1);
  EXPECT_EQ(notArray.err, "orvane-sim: the value of count is an integer, not an array: nothing added\n");
  EXPECT_EQ(sim({"defaults", "write", "list", "-dict-add", "k", "v"}).status, 1);
  EXPECT_EQ(type("count"), "Type is integer\n");
}

TEST_F(Defaults, ValuesThatDoNotFitTheirTypeAreRefusedWithWhatFits) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-date", "2024-02-30"}, "bad date value \"2024-02-30\": a date such as 2024-05-01 or \"2024-05-01 12:30:00 +0000\""},
      {{"-date", "yesterday"}, "bad date value \"yesterday\""},
      {{"-date", "2024-05-01 25:00:00"}, "bad date value"},
      {{"-data", "abc"}, "bad data value \"abc\": hex digits in pairs, such as 0a1b"},
      {{"-data", "zz"}, "bad data value"},
      {{"-int", "99999999999999999999"}, "bad int value"},
      {{"-float", "nan"}, "bad float value"},
      {{"-dict", "a", "1", "b"}, "-dict takes pairs of KEY VALUE: \"b\" has no value"},
      {{"-array", "a", "-bool", "true"}, "give one type, not -bool and -array"},
  };
  for (const auto& [typed, message] : cases) {
    std::vector<std::string> words = {"defaults", "write", "key"};
    words.insert(words.end(), typed.begin(), typed.end());
    Result refused = sim(words);
    EXPECT_EQ(refused.status, 2) << message;
    EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
  }
  EXPECT_EQ(sim({"defaults", "read"}).status, 1) << "nothing was stored";
  Result other = sim({"defaults", "write", "com.apple.springboard", "list", "-array", "a"});
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.err.find("the domain com.apple.springboard does not exist on this device"), std::string::npos);
}

TEST_F(Defaults, ExportAndImportCarryTheWholeDomain) {
  ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "true"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", "Drop"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "when", "-date", "2020-01-02"}).status, 0);
  Result exported = sim({"defaults", "export", "com.quillmark.orvane", "-"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.out.rfind("<?xml", 0), 0u);
  std::string file = device.root() + "/saved.plist";
  ASSERT_EQ(sim({"defaults", "export", "com.quillmark.orvane", file}).status, 0);
  EXPECT_EQ(testsupport::readFile(file), exported.out);

  ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", "Chime"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "extra", "1"}).status, 0);
  Result imported = sim({"defaults", "import", "com.quillmark.orvane", file});
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(sim({"defaults", "read"}).out,
            "{\n    isEnabled = 1;\n    selectedIncreaseSound = Drop;\n    when = 2020-01-02 00:00:00 +0000;\n}\n");
  Result fromInput = sim({"defaults", "import", "com.quillmark.orvane", "-"}, {"sh", "-c", "printf '%s' \"$0\" | \"$@\"", exported.out});
  EXPECT_EQ(fromInput.status, 0) << fromInput.err;

  std::ofstream(device.root() + "/array.plist")
      << "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>";
  std::ofstream(device.root() + "/text.plist") << "not a property list";
  const std::pair<std::string, std::string> refused[] = {
      {device.root() + "/array.plist", "a domain is a dictionary, and this property list's root is an array"},
      {device.root() + "/text.plist", "is not a property list"},
      {device.root() + "/missing.plist", "No such file or directory"},
      {device.root(), "is not a regular file"},
  };
  for (const auto& [path, reason] : refused) {
    Result result = sim({"defaults", "import", "com.quillmark.orvane", path});
    EXPECT_EQ(result.status, 1) << path;
    EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
  }
  EXPECT_EQ(read("selectedIncreaseSound"), "Drop\n") << "a refused import changes nothing";
  EXPECT_EQ(sim({"defaults", "export", "com.apple.springboard", "-"}).status, 1);
  Result domains = sim({"defaults", "domains"});
  EXPECT_EQ(domains.out, "com.quillmark.orvane\n");
}

TEST_F(Defaults, KeysThePagesDoNotReadAndThemesThatDoNotPlayAreStoredButWarnedAbout) {
  Result typo = sim({"defaults", "write", "isEnabeld", "-bool", "true"});
  EXPECT_EQ(typo.status, 0);
  EXPECT_EQ(typo.err, "orvane-sim: warning: the pages read no key \"isEnabeld\" (did you mean isEnabled?); it is "
                      "stored all the same. They read isEnabled, selectedIncreaseSound, selectedDecreaseSound.\n");
  EXPECT_EQ(read("isEnabeld"), "1\n");

  Result missing = sim({"defaults", "write", "selectedIncreaseSound", "Chme"});
  EXPECT_EQ(missing.status, 0);
  EXPECT_EQ(missing.err, "orvane-sim: warning: there is no theme \"Chme\" (did you mean Chime?): volume up plays "
                         "nothing. orvane-sim --device " + root + " themes lists them.\n");
  std::ofstream(host("/Library/Application Support/Orvane/Broken.wav")) << "no sound";
  Result broken = sim({"defaults", "write", "selectedDecreaseSound", "Broken"});
  EXPECT_NE(broken.err.find("warning: the theme \"Broken\" does not play (not a sound file the system reads"),
            std::string::npos) << broken.err;
  Result typed = sim({"defaults", "write", "selectedDecreaseSound", "-int", "3"});
  EXPECT_NE(typed.err.find("selectedDecreaseSound names a sound theme, and this is an integer"), std::string::npos);

  for (const std::vector<std::string>& quiet :
       {std::vector<std::string>{"defaults", "write", "isEnabled", "-bool", "false"},
        {"defaults", "write", "selectedIncreaseSound", "Drop"}}) {
    Result stored = sim(quiet);
    EXPECT_EQ(stored.status, 0);
    EXPECT_EQ(stored.err, "");
  }
}
