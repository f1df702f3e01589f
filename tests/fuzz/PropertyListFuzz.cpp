// Bytes through the guarded property-list parser, as every reader of the
// platform parses them. Whatever the bytes: no crash, no hang, and a list that
// is read comes back the same after it is written and read again.
#include <cstdlib>

#include "platform/foundation/Foundation.h"
#include "platform/foundation/PropertyListDescription.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/PropertyListSeeds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  foundation::PropertyListLimits limits;
  limits.maxBytes = foundation::preferencesFileMaximumBytes;
  // Small enough that writing and reading again what was read stays quick.
  limits.maxExpandedBytes = foundation::preferencesFileMaximumBytes;
  auto parsed = foundation::parsePropertyList(bytes, limits);
  if (!parsed.value) {
    if (parsed.reason.empty()) std::abort();
    return 0;
  }
  auto written = foundation::writeXmlPropertyList(*parsed.value);
  if (!written) std::abort();  // what was read can be written exactly
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
