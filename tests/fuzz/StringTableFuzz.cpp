// String tables as NSBundle reads them: the text form in UTF-8 or UTF-16, and
// property lists (XML and binary). Whatever the bytes, the parser answers with
// a table of well-formed text or with the line where the table broke.
#include <plist/plist.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "platform/foundation/Foundation.h"
#include "platform/foundation/NSBundle.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/support/Samples.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AutoreleasePool pool;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  foundation::StringsTableError error;
  auto table = foundation::parseStringsTable(bytes, &error);
  if (!table) {
    if (error.line < 1 || error.line > size + 1 || error.reason.empty()) std::abort();
    return 0;
  }
  // Strict JSON output throws on anything that is not well-formed UTF-8.
  nlohmann::json shown = *table;
  (void)shown.dump();
  return 0;
}

namespace {

std::string propertyList(bool binary) {
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "ENABLED", plist_new_string("Volume Sounds"));
  plist_dict_set_item(root, "CONFIGURATION", plist_new_string("Kl\xC3\xA4nge \xF0\x9F\x94\x94"));
  plist_dict_set_item(root, "COUNT", plist_new_uint(3));
  char* out = nullptr;
  uint32_t length = 0;
  if (binary) plist_to_bin(root, &out, &length);
  else plist_to_xml(root, &out, &length);
  std::string bytes(out ? out : "", out ? length : 0);
  std::free(out);
  plist_free(root);
  return bytes;
}

}  // namespace

std::vector<std::string> fuzzSeeds() {
  std::string text =
      "/* Root page */\n"
      "\"ENABLED\" = \"Volume Sounds\";\n"
      "// a line comment\n"
      "\"quote\" = \"say \\\"hi\\\"\\n\\ttab \\\\\";\n"
      "\"accent\" = \"caf\\U00e9 \\u00FC \\UD83D\\uDD14\";\n"
      "bare_key.1 = bare/value;\n"
      "\"alone\";\n"
      "\"Lautst\xC3\xA4rke\" = \"T\xC3\xB6ne\";\n";
  return {
      text,
      "\xEF\xBB\xBF" + text,
      testsupport::utf16(u"/* c */ \"k\u00e9y\" = \"\u20ac \U0001F514\";\n\"a\" = \"b\";", true),
      testsupport::utf16(u"\"k\u00e9y\" = \"\u20ac\";", false),
      "\"lone\" = \"\\UD800 and \\uDC00\";",
      "\"broken\" = \"no semicolon\"\n\"next\" = \"x\";",
      propertyList(false),
      propertyList(true),
      "",
  };
}
