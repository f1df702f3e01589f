// The hook library's snapshot load from a preferences file holding the bytes,
// as SpringBoard runs it at start and on every settings change: never a crash
// or a hang, and a snapshot that only ever holds names a theme file can have.
#include <cstdlib>

#include "hook/Snapshot.h"
#include "platform/foundation/Foundation.h"
#include "tests/fuzz/FuzzDevice.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/PropertyListSeeds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AutoreleasePool pool;
  fuzzseeds::putDeviceFile("/private/var/mobile/Library/Preferences/com.quillmark.orvane.plist",
                           std::string_view(reinterpret_cast<const char*>(data), size));
  orvane::loadPreferences();
  for (NSString* name : {kSelectedVolumeIncreaseSound, kSelectedVolumeDecreaseSound})
    if (name && name->utf8().size() > 251) std::abort();
  return 0;
}

std::vector<std::string> fuzzSeeds() { return fuzzseeds::propertyLists(); }
