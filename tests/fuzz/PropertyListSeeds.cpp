#include "tests/fuzz/PropertyListSeeds.h"

#include <cstdint>

#include "platform/propertylist/PropertyListFormat.h"
#include "tests/support/Samples.h"

namespace fuzzseeds {
namespace {

using testsupport::bigEndian;

/// A binary list of encoded objects with one-byte references, the first one the root.
std::string binaryList(const std::vector<std::string>& objects) {
  return testsupport::binaryPropertyList(objects, 2, 1);
}

std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

std::vector<std::string> propertyLists() {
  using foundation::PropertyListValue;
  using Type = PropertyListValue::Type;
  PropertyListValue preferences;
  auto add = [&](const char* key, PropertyListValue value) { preferences.append(key, std::move(value)); };
  PropertyListValue value;
  value.type = Type::Boolean;
  value.boolean = true;
  add("isEnabled", value);
  value = {};
  value.type = Type::String;
  value.text = "Kl\xC3\xA4nge \xF0\x9F\x94\x94 <&>";
  add("selectedIncreaseSound", value);
  value = {};
  value.type = Type::Integer;
  value.integer = ~std::uint64_t{0};
  value.isUnsigned = true;
  add("big", value);
  value = {};
  value.type = Type::Date;
  value.real = -6311433600.5;
  add("date", value);
  value = {};
  value.type = Type::Data;
  value.text = std::string("\x00\x01\xFF", 3);
  add("data", value);
  value = {};
  value.type = Type::Array;
  PropertyListValue real;
  real.type = Type::Real;
  real.real = 0.1;
  value.append(real);
  value.append(PropertyListValue{});
  add("list", value);
  std::string xml = *foundation::writeXmlPropertyList(preferences);

  std::string deepXml = "<plist>";
  for (int i = 0; i < 70; ++i) deepXml += i % 2 ? "<array>" : "<dict><key>k</key>";
  std::vector<std::string> chain;
  for (int i = 0; i < 70; ++i) chain.push_back(i + 1 < 70 ? "\xA1" + bigEndian(i + 1, 1) : std::string("\xA0"));

  // A dictionary of a thousand keys sharing one value, and an array sharing one
  // string far more often than the bytes it may expand to allow.
  std::string shared = "\xDF\x11" + bigEndian(1000, 2);
  std::vector<std::string> sharing = {""};
  for (int i = 1; i <= 1000; ++i) {
    shared += bigEndian(i, 2);
    sharing.push_back("\x54k" + std::to_string(1000 + i).substr(1));
  }
  for (int i = 1; i <= 1000; ++i) shared += bigEndian(1001, 2);
  sharing[0] = shared;
  sharing.push_back("\x5F\x10\x40" + std::string(64, 'v'));

  return {
      xml,
      testsupport::binaryPropertyList(sharing, 4, 2),
      testsupport::sharedStringPropertyList(16000, 40000),
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>selectedDecreaseSound</key><string>Chime</string>"
      "<key>isEnabled</key><integer>0</integer></dict></plist>",
      testsupport::utf16(widen(xml), true),
      testsupport::utf16(widen("<plist><dict><key>a</key><string>b</string></dict></plist>"), false),
      deepXml,
      binaryList(chain),
      // A dictionary of a Boolean under an ASCII key and a UTF-16 string under a UTF-16 key.
      binaryList({"\xD2\x01\x02\x03\x04", "\x59isEnabled", "\x61" + bigEndian(0x00E9, 2), "\x09",
                  "\x62" + bigEndian(0xD83D, 2) + bigEndian(0xDD14, 2)}),
      binaryList({"\xA2\x01\x01", "\x14" + bigEndian(0, 8) + bigEndian(~std::uint64_t{0}, 8)}),
      binaryList({"\xA1\x01", "\xA1\x00"}),
      binaryList({"\xD1\x01\x02", "\x63" + bigEndian('a', 2) + bigEndian(0, 2) + bigEndian('b', 2), "\x08"}),
      std::string("<plist><string>a\0b</string></plist>", 35),
      "<plist><array><real>nan</real><real>-infinity</real><date>0001-01-01T00:00:00Z</date>"
      "<integer>-9223372036854775808</integer><data>AA==</data><string><![CDATA[x<y]]>&#x1F514;</string></array></plist>",
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<plist><dict><key>Caf\xE9</key><string>a\r\nb\rc</string>"
      "</dict></plist>\r\n",
      "<?xml version='1.0' encoding='windows-1252'?><plist><array><string>\x80\x93&#13;</string><date>"
      "2001-01-01T00:00:00.5Z</date></array></plist>",
      "",
      // The old text format, as a list and as a strings file.
      "// hand-written\n{ isEnabled = 1; \"selectedIncreaseSound\" = \"Mac\\U0020Volume\\101\"; l = (a, <0fbd>, {}, ); }",
      "isEnabled = NO;\nselectedDecreaseSound = Chime; /* done */",
  };
}

}  // namespace fuzzseeds
