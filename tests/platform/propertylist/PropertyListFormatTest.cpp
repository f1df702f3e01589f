#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/propertylist/PropertyListFormat.h"
#include "tests/support/Samples.h"

using foundation::parsePropertyList;
using foundation::PropertyListLimits;
using foundation::PropertyListValue;
using foundation::writeXmlPropertyList;
using Type = PropertyListValue::Type;

namespace {

std::string xml(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

std::string nestedXml(std::size_t depth) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += "<array>";
  for (std::size_t i = 0; i < depth; ++i) text += "</array>";
  return xml(text);
}

using testsupport::bigEndian;

/// A binary list of encoded objects (references 4 bytes wide), the first one the root.
std::string binaryList(const std::vector<std::string>& objects, std::uint64_t declaredObjects = 0) {
  return testsupport::binaryPropertyList(objects, 8, 4, declaredObjects);
}

std::string reference(std::uint32_t object) { return bigEndian(object, 4); }

std::string arrayOf(std::initializer_list<std::uint32_t> items) {
  std::string out(1, static_cast<char>(0xA0 | items.size()));
  for (auto item : items) out += reference(item);
  return out;
}

std::string utf16Key(std::u16string text) {
  std::string out(1, static_cast<char>(0x60 | text.size()));
  for (char16_t unit : text) out += bigEndian(unit, 2);
  return out;
}

PropertyListValue roundTrip(const std::string& bytes) {
  auto first = parsePropertyList(bytes, {});
  EXPECT_TRUE(first.value) << first.reason;
  if (!first.value) return {};
  auto written = writeXmlPropertyList(*first.value);
  EXPECT_TRUE(written);
  auto second = parsePropertyList(*written, {});
  EXPECT_TRUE(second.value) << second.reason;
  auto rewritten = writeXmlPropertyList(*second.value);
  EXPECT_EQ(rewritten, written) << "a second rewrite changes nothing";
  return second.value ? *second.value : PropertyListValue{};
}

template <class Duration>
void expectQuick(Duration elapsed) {
  // Generous enough for the sanitizer builds; what it catches is work without bound.
  EXPECT_LT(elapsed, std::chrono::seconds(30));
}

}  // namespace

TEST(PropertyListFormat, NestingIsLimitedWithoutCrashingOrHanging) {
  EXPECT_TRUE(parsePropertyList(nestedXml(64), {}).value);
  auto tooDeep = parsePropertyList(nestedXml(65), {});
  EXPECT_FALSE(tooDeep.value);
  EXPECT_EQ(tooDeep.reason, "it is nested deeper than 64 levels");

  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(parsePropertyList(nestedXml(100000), {}).value);
  // 100,000 arrays, each holding the next.
  std::vector<std::string> chain;
  for (std::uint32_t i = 0; i < 100000; ++i) chain.push_back(i + 1 < 100000 ? arrayOf({i + 1}) : arrayOf({}));
  auto deepBinary = parsePropertyList(binaryList(chain), {});
  EXPECT_FALSE(deepBinary.value);
  EXPECT_EQ(deepBinary.reason, "it is nested deeper than 64 levels");
  expectQuick(std::chrono::steady_clock::now() - start);
}

TEST(PropertyListFormat, HostileBinaryStructuresAreRefused) {
  EXPECT_TRUE(parsePropertyList(binaryList({arrayOf({1, 1}), "\x09"}), {}).value) << "a shared object is fine";
  auto cycle = parsePropertyList(binaryList({arrayOf({1}), arrayOf({0})}), {});
  EXPECT_FALSE(cycle.value);
  EXPECT_EQ(cycle.reason, "it contains itself");
  EXPECT_FALSE(parsePropertyList(binaryList({arrayOf({7})}), {}).value) << "a reference past the objects";
  EXPECT_FALSE(parsePropertyList(binaryList({arrayOf({0})}, 1000), {}).value) << "more objects than offsets";
  // An array claiming 2^62 items, and a string longer than the file.
  EXPECT_FALSE(parsePropertyList(binaryList({"\xAF\x13" + bigEndian(std::uint64_t{1} << 62, 8)}), {}).value);
  EXPECT_FALSE(parsePropertyList(binaryList({"\x5F\x12" + bigEndian(4000, 4) + "abc"}), {}).value);
  std::string offsetOutOfRange = binaryList({"\x09"});
  offsetOutOfRange[offsetOutOfRange.size() - 33] = '\x7F';
  EXPECT_FALSE(parsePropertyList(offsetOutOfRange, {}).value);

  // Every level refers twice to the next: 2^40 values if expanded.
  auto start = std::chrono::steady_clock::now();
  std::vector<std::string> doubling;
  for (std::uint32_t i = 0; i < 40; ++i) doubling.push_back(arrayOf({i + 1, i + 1}));
  doubling.push_back("\x08");
  auto expanded = parsePropertyList(binaryList(doubling), {});
  EXPECT_FALSE(expanded.value);
  EXPECT_EQ(expanded.reason, "it holds more than 1048576 values");
  expectQuick(std::chrono::steady_clock::now() - start);

  for (std::size_t cut = 0; cut < 48; ++cut) {
    std::string whole = binaryList({arrayOf({1, 2}), "\x51x", utf16Key(u"é")});
    EXPECT_FALSE(parsePropertyList(whole.substr(0, whole.size() - 1 - cut), {}).value) << "cut by " << cut + 1;
  }
}

TEST(PropertyListFormat, ANulCharacterRefusesTheListInsteadOfAborting) {
  using namespace std::string_literals;
  for (const std::string& text : {xml("<dict><key>a</key><string>x\0y</string></dict>"s),
                                  xml("<dict><key>a&#0;</key><string>x</string></dict>"),
                                  xml("<string>&#x0000;</string>"), xml("<string><![CDATA[a\0]]></string>"s)}) {
    auto parsed = parsePropertyList(text, {});
    EXPECT_FALSE(parsed.value);
    EXPECT_EQ(parsed.reason, "it holds a NUL character");
  }
  std::string dictionary = "\xD1"s + reference(1) + reference(2);
  EXPECT_FALSE(parsePropertyList(binaryList({dictionary, utf16Key(u"a\0b"s), "\x09"}), {}).value);
  EXPECT_FALSE(parsePropertyList(binaryList({dictionary, "\x53" "a\0b"s, "\x09"}), {}).value);
  EXPECT_TRUE(parsePropertyList(binaryList({dictionary, utf16Key(u"ab"), "\x09"}), {}).value);

  PropertyListValue withNul;
  withNul.type = Type::String;
  withNul.text = "a\0b"s;
  EXPECT_FALSE(writeXmlPropertyList(withNul)) << "never written shortened";
}

TEST(PropertyListFormat, UTF16ListsAreReadAndBrokenOnesRefused) {
  std::string text = xml("<dict><key>selectedIncreaseSound</key><string>Glöckchen 🔔</string></dict>");
  std::u16string wide;
  for (std::size_t i = 0; i < text.size();) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::uint32_t code = byte;
    std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    if (length > 1) code = byte & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += length;
    if (code >= 0x10000) {
      wide += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<char16_t>(code);
    }
  }
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (char16_t unit : wide) {
    little += static_cast<char>(unit & 0xFF);
    little += static_cast<char>(unit >> 8);
    big += static_cast<char>(unit >> 8);
    big += static_cast<char>(unit & 0xFF);
  }
  for (const std::string& bytes : {little, big}) {
    auto parsed = parsePropertyList(bytes, {});
    ASSERT_TRUE(parsed.value) << parsed.reason;
    ASSERT_EQ(parsed.value->items.size(), 1u);
    EXPECT_EQ(parsed.value->item(0).text, "Glöckchen 🔔");
  }
  EXPECT_FALSE(parsePropertyList(little.substr(0, little.size() - 1), {}).value) << "an odd byte count";
  EXPECT_FALSE(parsePropertyList(little.substr(0, little.size() / 2), {}).value) << "half a file";
  EXPECT_FALSE(parsePropertyList(text.substr(0, text.size() - 10), {}).value) << "a truncated UTF-8 file";
}

// Exactly, but for dates: whole seconds, as the platform writes them.
TEST(PropertyListFormat, EveryValueSurvivesARewrite) {
  auto values = roundTrip(xml(
      "<dict><key>max</key><integer>18446744073709551615</integer><key>min</key><integer>-9223372036854775808</integer>"
      "<key>top</key><integer>9223372036854775807</integer><key>early</key><date>0001-01-01T00:00:00Z</date>"
      "<key>late</key><date>9999-12-31T23:59:59Z</date><key>old</key><date>1800-02-28T12:00:00Z</date>"
      "<key>far</key><date>2200-01-01T00:00:00.25Z</date><key>tenth</key><real>0.1</real>"
      "<key>negativeZero</key><real>-0</real><key>infinite</key><real>-infinity</real>"
      "<key>text</key><string> a &lt;b&gt; &amp; c\n</string><key>data</key><data>AAEC/w==</data></dict>"));
  ASSERT_EQ(values.keys.size(), 12u);
  auto item = [&](const std::string& key) {
    for (std::size_t i = 0; i < values.keys.size(); ++i)
      if (values.keys[i] == key) return values.item(i);
    ADD_FAILURE() << key;
    return PropertyListValue{};
  };
  EXPECT_EQ(item("max").integer, std::numeric_limits<std::uint64_t>::max());
  EXPECT_TRUE(item("max").isUnsigned);
  EXPECT_EQ(static_cast<std::int64_t>(item("min").integer), std::numeric_limits<std::int64_t>::min());
  EXPECT_FALSE(item("top").isUnsigned);
  EXPECT_EQ(item("early").real, -63113904000.0);
  EXPECT_EQ(item("late").real, 252423993599.0);
  EXPECT_EQ(item("far").real, 6279811200.0);
  EXPECT_EQ(item("tenth").real, 0.1);
  EXPECT_TRUE(std::signbit(item("negativeZero").real));
  EXPECT_EQ(item("infinite").real, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(item("text").text, " a <b> & c\n");
  EXPECT_EQ(item("data").text, std::string("\x00\x01\x02\xFF", 4));

  // Binary: a 16-byte unsigned integer, and a date before 2001 with a fraction.
  double date = -1e10 + 0.125;
  std::uint64_t bits;
  std::memcpy(&bits, &date, sizeof bits);
  auto binary = roundTrip(binaryList({arrayOf({1, 2}), "\x14" + bigEndian(0, 8) + bigEndian(~std::uint64_t{0}, 8),
                                      "\x33" + bigEndian(bits, 8)}));
  ASSERT_EQ(binary.items.size(), 2u);
  EXPECT_EQ(binary.item(0).integer, ~std::uint64_t{0});
  EXPECT_EQ(binary.item(1).real, -1e10);

  for (const char* bad : {"<integer>18446744073709551616</integer>", "<integer>-9223372036854775809</integer>",
                          "<date>10000-01-01T00:00:00Z</date>", "<date>2001-02-29T00:00:00Z</date>"})
    EXPECT_FALSE(parsePropertyList(xml(bad), {}).value) << bad;
  double tooLate = 1e300;
  std::memcpy(&bits, &tooLate, sizeof bits);
  EXPECT_FALSE(parsePropertyList(binaryList({"\x33" + bigEndian(bits, 8)}), {}).value);
}

TEST(PropertyListFormat, SizeAndValueCountsAreLimited) {
  PropertyListLimits limits;
  limits.maxBytes = 100;
  auto large = parsePropertyList(xml("<string>" + std::string(200, 'x') + "</string>"), limits);
  EXPECT_FALSE(large.value);
  EXPECT_EQ(large.reason, "it is larger than 100 bytes");
  limits = {};
  limits.maxObjects = 3;
  EXPECT_TRUE(parsePropertyList(xml("<array><true/><false/></array>"), limits).value);
  EXPECT_FALSE(parsePropertyList(xml("<array><true/><false/><true/></array>"), limits).value);
}

TEST(PropertyListFormat, AnObjectReferredToManyTimesIsReadOnce) {
  using namespace std::string_literals;
  // A dictionary and an array both holding one string, and the array twice.
  std::string dictionary = "\xD2"s + reference(3) + reference(4) + reference(1) + reference(2);
  auto parsed = parsePropertyList(
      binaryList({dictionary, "\x5F\x10\x13hello, shared world", arrayOf({1, 1}), "\x51" "a", "\x51" "b"}), {});
  ASSERT_TRUE(parsed.value) << parsed.reason;
  ASSERT_EQ(parsed.value->items.size(), 2u);
  const PropertyListValue& array = parsed.value->item(1);
  ASSERT_EQ(array.items.size(), 2u);
  EXPECT_EQ(parsed.value->items[0], array.items[0]);
  EXPECT_EQ(array.items[0], array.items[1]);
  EXPECT_EQ(array.item(0).text, "hello, shared world");

  auto twice = parsePropertyList(binaryList({arrayOf({1, 1}), arrayOf({2, 2}), "\x09"}), {});
  ASSERT_TRUE(twice.value) << twice.reason;
  EXPECT_EQ(twice.value->items[0], twice.value->items[1]) << "a shared array too";
}

TEST(PropertyListFormat, WhatASharedObjectExpandsToIsBounded) {
  // 1 MB on disk: a 500 KB string referred to 500,000 times, 250 GB if each
  // reference were a copy.
  std::string bomb = testsupport::sharedStringPropertyList(500000, 500000);
  ASSERT_LT(bomb.size(), std::size_t{1} << 20);
  PropertyListLimits limits;
  limits.maxBytes = std::size_t{1} << 20;
  auto start = std::chrono::steady_clock::now();
  auto refused = parsePropertyList(bomb, limits);
  EXPECT_FALSE(refused.value);
  EXPECT_EQ(refused.reason, "it expands to more than 16777216 bytes of text and data");
  expectQuick(std::chrono::steady_clock::now() - start);

  // Within the bound it is read, with the one string held at every place.
  auto read = parsePropertyList(testsupport::sharedStringPropertyList(100000, 160), limits);
  ASSERT_TRUE(read.value) << read.reason;
  const PropertyListValue& list = read.value->item(1);
  ASSERT_EQ(list.items.size(), 160u);
  EXPECT_EQ(list.items.front(), list.items.back());
  EXPECT_EQ(list.items.front().use_count(), 160);
  limits.maxExpandedBytes = 100000 * 159;
  EXPECT_FALSE(parsePropertyList(testsupport::sharedStringPropertyList(100000, 160), limits).value);

  // Keys count too: 20,000 dictionaries under one 1,000-byte key.
  std::vector<std::string> objects = {"\xAF\x12" + bigEndian(20000, 4)};
  for (std::uint32_t i = 1; i <= 20000; ++i) {
    objects[0] += reference(i);
    objects.push_back("\xD1" + reference(20001) + reference(20002));
  }
  objects.push_back("\x5F\x11" + bigEndian(1000, 2) + std::string(1000, 'k'));
  objects.push_back("\x09");
  EXPECT_EQ(parsePropertyList(binaryList(objects), {}).reason, "it expands to more than 16777216 bytes of text and data");

  // A shared container counts its whole height wherever it is referred to:
  // a chain of 40 arrays read at the top, then again below 30 more.
  std::vector<std::string> chains = {arrayOf({1, 41})};
  for (std::uint32_t i = 1; i <= 40; ++i) chains.push_back(i < 40 ? arrayOf({i + 1}) : arrayOf({}));
  for (std::uint32_t i = 41; i <= 70; ++i) chains.push_back(i < 70 ? arrayOf({i + 1}) : arrayOf({1}));
  auto nested = parsePropertyList(binaryList(chains), {});
  EXPECT_FALSE(nested.value);
  EXPECT_EQ(nested.reason, "it is nested deeper than 64 levels");
  chains[70] = arrayOf({10});
  EXPECT_TRUE(parsePropertyList(binaryList(chains), {}).value) << "31 levels above, 31 below";
}

namespace {

std::string stringIn(const std::string& bytes) {
  auto parsed = parsePropertyList(bytes, {});
  EXPECT_TRUE(parsed.value) << parsed.reason;
  return parsed.value && parsed.value->type == Type::String ? parsed.value->text : "(none)";
}

std::string refusal(const std::string& bytes) {
  auto parsed = parsePropertyList(bytes, {});
  EXPECT_FALSE(parsed.value);
  return parsed.reason;
}

std::string declared(const std::string& encoding, const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
}

PropertyListValue stringValue(const std::string& text) {
  PropertyListValue value;
  value.type = Type::String;
  value.text = text;
  return value;
}

}  // namespace

TEST(PropertyListFormat, TextThatIsNoUtf8IsRefused) {
  EXPECT_EQ(stringIn(xml("<string>Gl\xC3\xB6" "ckchen \xF0\x9F\x94\x94</string>")), "Glöckchen 🔔");
  std::size_t start = xml("<string>").find("<string>") + 8;
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\x80", "\xE2\x82", "\xF4\x90\x80\x80", "\xFF",
                          "Caf\xE9"}) {
    std::size_t at = start + (bad[0] == 'C' ? 3 : 0);
    EXPECT_EQ(refusal(xml(std::string("<string>") + bad + "</string>")),
              "it is not valid UTF-8 (at byte " + std::to_string(at) + ")")
        << bad;
  }
  for (const std::string& text : {xml("<dict><key>\xFE</key><true/></dict>"), xml("<!-- \xC3 --><true/>")})
    EXPECT_EQ(refusal(text), "it is not valid UTF-8 (at byte " + std::to_string(text.find_first_of("\xFE\xC3")) + ")");
  // Binary lists: an ASCII string holds ASCII only.
  EXPECT_EQ(refusal(binaryList({"\x54" "Caf\xE9"})), "an ASCII string holds a byte above 127");
}

TEST(PropertyListFormat, TheDeclaredEncodingIsRead) {
  EXPECT_EQ(stringIn(declared("ISO-8859-1", "<string>Caf\xE9 \xA9\x80</string>")), "Café ©\u0080");
  EXPECT_EQ(stringIn(declared("latin1", "<string>\xFF</string>")), "ÿ");
  EXPECT_EQ(stringIn(declared("windows-1252", "<string>\x80 \x93x\x94 \x9F\xE9</string>")), "€ “x” Ÿé");
  EXPECT_EQ(stringIn(declared("US-ASCII", "<string>plain</string>")), "plain");
  EXPECT_EQ(stringIn("<?xml version='1.0' encoding='utf-8'?><plist><string>\xC3\xA9</string></plist>"), "é");

  std::string undefined = declared("windows-1252", "<string>\x81</string>");
  EXPECT_EQ(refusal(undefined), "it is not valid Windows-1252 (at byte " + std::to_string(undefined.find('\x81')) + ")");
  std::string notAscii = declared("US-ASCII", "<string>\xE9</string>");
  EXPECT_EQ(refusal(notAscii), "it is not valid US-ASCII (at byte " + std::to_string(notAscii.find('\xE9')) + ")");
  EXPECT_EQ(refusal(declared("EBCDIC-US", "<string>x</string>")),
            "it declares the encoding \"EBCDIC-US\", which cannot be read");
  EXPECT_EQ(refusal(declared("UTF-16", "<string>x</string>")),
            "it declares the encoding \"UTF-16\" but has no byte-order mark");
  EXPECT_EQ(stringIn("\xEF\xBB\xBF" + declared("ISO-8859-1", "<string>\xC3\xA9</string>")), "é")
      << "the byte-order mark decides";
  EXPECT_EQ(refusal("<?xml version=\"1.0\" encoding=UTF-8?><plist><true/></plist>"), "its XML declaration is malformed");

  // UTF-16 with and without a byte-order mark.
  std::u16string wide;
  for (char c : declared("UTF-16", "<string>x</string>")) wide += static_cast<char16_t>(c);
  wide[wide.find(u">x<") + 1] = u'é';
  EXPECT_EQ(stringIn(testsupport::utf16(wide, true)), "é");
  EXPECT_EQ(stringIn(testsupport::utf16(wide, false)), "é");
  EXPECT_EQ(stringIn(testsupport::utf16(wide, true).substr(2)), "é") << "little-endian, told by its first character";
  EXPECT_EQ(stringIn(testsupport::utf16(wide, false).substr(2)), "é");
}

TEST(PropertyListFormat, LineEndsAreReadAsLineFeedsAndACarriageReturnIsWrittenSoItStays) {
  EXPECT_EQ(stringIn(xml("<string>a\r\nb\rc\n\r\rd</string>")), "a\nb\nc\n\n\nd");
  EXPECT_EQ(stringIn(xml("<string><![CDATA[a\r\nb]]></string>")), "a\nb");
  EXPECT_EQ(stringIn(declared("ISO-8859-1", "<string>\xE9\r\n</string>")), "é\n");
  EXPECT_EQ(stringIn(xml("<string>a&#13;&#xD;\r\n</string>")), "a\r\r\n") << "a reference stays";

  auto written = writeXmlPropertyList(stringValue("line\r\nend\r"));
  ASSERT_TRUE(written);
  EXPECT_NE(written->find("<string>line&#13;\nend&#13;</string>"), std::string::npos) << *written;
  EXPECT_EQ(stringIn(*written), "line\r\nend\r");
}

TEST(PropertyListFormat, CharactersXmlDoesNotAllowAreNeitherReadNorWritten) {
  using namespace std::string_literals;
  for (const std::string& text : {"\x01"s, "a\x08"s, "\x0B"s, "\x0C"s, "\x1F"s, "\xEF\xBF\xBE"s, "\xEF\xBF\xBF"s, "\xFF"s,
                                  "\xED\xA0\x80"s, "a\0b"s}) {
    EXPECT_FALSE(writeXmlPropertyList(stringValue(text))) << text;
    PropertyListValue dictionary;
    dictionary.append(text, stringValue("value"));
    EXPECT_FALSE(writeXmlPropertyList(dictionary)) << "as a key: " << text;
  }
  EXPECT_TRUE(writeXmlPropertyList(stringValue("tab\tline\n\xEF\xBF\xBD\xF4\x8F\xBF\xBF")));

  EXPECT_EQ(refusal(xml("<string>a\x01</string>")), "it holds the character U+0001, which XML does not allow");
  EXPECT_EQ(refusal(xml("<string>&#x1F;</string>")), "it holds the character U+001F, which XML does not allow");
  EXPECT_EQ(refusal(xml("<string>&#65535;</string>")), "it holds the character U+FFFF, which XML does not allow");
  EXPECT_EQ(refusal(declared("ISO-8859-1", "<string>\x7F\x1B</string>")),
            "it holds the character U+001B, which XML does not allow");
  // A binary list may hold them; it is read, and refused only when written as XML.
  auto binary = parsePropertyList(binaryList({"\x52" "a\x01"}), {});
  ASSERT_TRUE(binary.value) << binary.reason;
  EXPECT_FALSE(writeXmlPropertyList(*binary.value));
}

TEST(PropertyListFormat, DatesAreWrittenInWholeSecondsAsThePlatformWritesThem) {
  auto dateAt = [](double seconds) {
    PropertyListValue value;
    value.type = Type::Date;
    value.real = seconds;
    auto written = writeXmlPropertyList(value);
    auto start = written ? written->find("<date>") : std::string::npos;
    return start == std::string::npos ? "(none)" : written->substr(start + 6, written->find("</date>") - start - 6);
  };
  EXPECT_EQ(dateAt(0), "2001-01-01T00:00:00Z");
  EXPECT_EQ(dateAt(0.75), "2001-01-01T00:00:00Z");
  EXPECT_EQ(dateAt(-0.25), "2000-12-31T23:59:59Z");
  EXPECT_EQ(dateAt(6279811200.999), "2200-01-01T00:00:00Z");
  EXPECT_EQ(dateAt(-63113904000.0), "0001-01-01T00:00:00Z");
  EXPECT_EQ(dateAt(252423993599.5), "9999-12-31T23:59:59Z");
}
