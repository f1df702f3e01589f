#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <string>

#include "platform/foundation/Foundation.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/propertylist/PropertyListFormat.h"

namespace {

using testing::HasSubstr;

/// What the reader makes of the text, as its description, or the reason it refuses it.
std::string read(std::string_view text, const foundation::PropertyListLimits& limits = {}) {
  std::string reason;
  auto value = NSPropertyListSerialization::propertyListWithData(text, limits, &reason);
  return value ? value->description() : "refused: " + reason;
}

}  // namespace

TEST(OpenStepPropertyList, ReadsStringsDataArraysAndDictionariesAroundComments) {
  EXPECT_EQ(read("// the tweak's settings\n"
                 "{ isEnabled = 1; /* on */ \"selected Sound\" = \"Mac Volume Change\";\n"
                 "  path = /Library/Application-Support:x.y_$z; blob = <0fbd 77>;\n"
                 "  list = (a, \"b c\", (), {}, ); }"),
            "{\n    blob = {length = 3, bytes = 0x0fbd77};\n    isEnabled = 1;\n    list = (\n        a,\n        \"b c\",\n        (\n        ),\n"
            "        {\n        }\n    );\n    path = \"/Library/Application-Support:x.y_$z\";\n"
            "    \"selected Sound\" = \"Mac Volume Change\";\n}");
  auto dictionary = objc_cast<NSDictionary>(NSPropertyListSerialization::propertyListWithData("{ isEnabled = 0; }"));
  ASSERT_TRUE(dictionary);
  auto* value = objc_cast<NSString>(dictionary->objectForKey("isEnabled"));
  ASSERT_TRUE(value) << "the format has no numbers: a string";
  EXPECT_FALSE(value->boolValue());
}

TEST(OpenStepPropertyList, EscapesInQuotedStrings) {
  auto text = [](std::string_view list) {
    Retained<NSObject> value = NSPropertyListSerialization::propertyListWithData(list);
    auto* string = objc_cast<NSString>(value.get());
    return string ? string->utf8() : "(none)";
  };
  EXPECT_EQ(text(R"("a\"b\\c\n\td")"), "a\"b\\c\n\td");
  EXPECT_EQ(text(R"("\101\U00e9\UD83D\UDE00")"), "A\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(text("\"caf\\\xC3\xA9 \xE2\x82\xAC\""), "caf\xC3\xA9 \xE2\x82\xAC") << "non-ASCII text, escaped or not, is kept";
  EXPECT_EQ(text(R"("\UD83D!")"), "\xEF\xBF\xBD!") << "a lone surrogate is the replacement character";
  EXPECT_EQ(text("\xEF\xBB\xBF" "bare"), "bare") << "after a byte-order mark";
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("( x )")) utf16 += std::string{c, '\0'};
  EXPECT_EQ(read(utf16), "(\n    x\n)");
}

TEST(OpenStepPropertyList, AStringsFileIsItsDictionaryButStrayTextIsNot) {
  EXPECT_EQ(read("isEnabled = 1;\n\"selectedIncreaseSound\" = Drop; // last\n"),
            "{\n    isEnabled = 1;\n    selectedIncreaseSound = Drop;\n}");
  for (const char* refused : {"isEnabled = 1", "   \n // nothing\n /* at all */", "a = b; }", "not a property list"})
    EXPECT_THAT(read(refused), HasSubstr("refused: line ")) << refused;
}

TEST(OpenStepPropertyList, MalformedTextIsRefusedNamingWhatAndTheLine) {
  struct Case {
    std::string text, reason;
  };
  for (const Case& each : std::vector<Case>{
           {"{ a = b }", "line 1: ';' is missing after the value of \"a\""},
           {"(\n a\n b )", "line 3: ',' or ')' is missing after an item of an array"},
           {"{ a b; }", "line 1: '=' is missing after the key \"a\""},
           {"{ a = ; }", "line 1: ';' begins no value"},
           {"{ a = b;", "line 1: '}' is missing at the end of a dictionary"},
           {"(a,", "line 1: a value is missing"},
           {"\n\"open", "line 2: a string's closing quote is missing"},
           {"( <0f", "line 1: data's closing '>' is missing"},
           {"{ a = <0g>; }", "line 1: data holds 'g', which is no hexadecimal digit"},
           {"{ a = <0f1>; }", "line 1: data holds an odd number of hexadecimal digits"},
           {"( a /* open", "line 1: a comment is not closed"},
           {"{ a = \"x\\000y\"; }", "line 1: a string holds a NUL character"},
           {std::string("( \"x\0y\" )", 9), "it holds a NUL character"},
           {"( a ) b", "line 1: more follows the value"},
           {"( \"\\U\" )", "line 1: \\U is followed by no hexadecimal digit"},
           {"( \xC3\x28 )", "it is not valid UTF-8 (at byte 2)"},
       })
    EXPECT_EQ(read(each.text), "refused: " + each.reason) << each.text;
}

TEST(OpenStepPropertyList, TheLimitsOfEveryFormatHold) {
  std::string deep(65, '(');
  deep += std::string(65, ')');
  EXPECT_EQ(read(deep), "refused: line 1: it is nested deeper than 64 levels");
  EXPECT_EQ(read(std::string(1'000'000, '(')), "refused: line 1: it is nested deeper than 64 levels") << "and no recursion";
  foundation::PropertyListLimits few;
  few.maxObjects = 3;
  EXPECT_EQ(read("(a, b)", few), "(\n    a,\n    b\n)");
  EXPECT_EQ(read("(a, b, c)", few), "refused: line 1: it holds more than 3 values");
  few.maxBytes = 8;
  EXPECT_EQ(read("(a, b, c)", few), "refused: it is larger than 8 bytes");
}
