// Bytes through the guarded property-list parser, as every reader of the
// platform parses them. Whatever the bytes: no crash, no hang, and a list that
// is read comes back the same after it is written and read again.
#include <cstdlib>

#include "platform/foundation/Foundation.h"
#include "platform/foundation/PropertyListDescription.h"
#include "platform/propertylist/PropertyListText.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/PropertyListSeeds.h"

namespace {

/// Whether every string and key is text XML 1.0 can carry: a binary list may
/// hold control characters, which no XML form can.
bool xmlCarries(const foundation::PropertyListValue& value) {
  auto carries = [](std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
      std::size_t length = foundation::utf8SequenceLength(text, at);
      if (length == 0 || !foundation::isXmlCharacter(foundation::utf8CodePoint(text, at, length))) return false;
      at += length;
    }
    return true;
  };
  if (value.type == foundation::PropertyListValue::Type::String) return carries(value.text);
  for (const std::string& key : value.keys)
    if (!carries(key)) return false;
  for (const auto& item : value.items)
    if (!xmlCarries(*item)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  foundation::PropertyListLimits limits;
  limits.maxBytes = foundation::preferencesFileMaximumBytes;
  // As a preferences file is read, which also keeps writing it again quick.
  limits.maxExpandedBytes = foundation::preferencesFileMaximumBytes;
  auto parsed = foundation::parsePropertyList(bytes, limits);
  if (!parsed.value) {
    if (parsed.reason.empty()) std::abort();
    return 0;
  }
  auto written = foundation::writeXmlPropertyList(*parsed.value);
  // What was read can be written, and then reads back the same.
  if (!written) {
    if (xmlCarries(*parsed.value)) std::abort();
    return 0;
  }
  auto again = foundation::parsePropertyList(*written, {});
  if (!again.value || foundation::writeXmlPropertyList(*again.value) != written) std::abort();

  AutoreleasePool pool;
  Retained<NSObject> object = NSPropertyListSerialization::propertyListWithData(bytes, limits);
  auto xml = object ? NSPropertyListSerialization::xmlDataWithPropertyList(object.get()) : std::nullopt;
  if (!xml) std::abort();
  Retained<NSObject> reread = NSPropertyListSerialization::propertyListWithData(*xml);
  if (!reread || NSPropertyListSerialization::xmlDataWithPropertyList(reread.get()) != xml) std::abort();
  if (object->description().size() > foundation::descriptionMaximumLength + 3) std::abort();
  return 0;
}

std::vector<std::string> fuzzSeeds() { return fuzzseeds::propertyLists(); }
