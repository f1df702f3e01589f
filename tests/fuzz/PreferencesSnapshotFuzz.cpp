// The hook library's snapshot load from a preferences file holding the bytes,
// as SpringBoard runs it at start and on every settings change: never a crash
// or a hang, and a snapshot that only ever holds names a theme file can have.
#include <cstdlib>
#include <cstring>

#include "tests/fuzz/FuzzDevice.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/PropertyListSeeds.h"

extern "C" {
void snapshotShimLoad();
const char* snapshotShimSelected(bool up);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzseeds::putDeviceFile("/private/var/mobile/Library/Preferences/com.quillmark.orvane.plist",
                           std::string_view(reinterpret_cast<const char*>(data), size));
  snapshotShimLoad();
  for (bool up : {true, false})
    if (const char* name = snapshotShimSelected(up); name && std::strlen(name) > 251) std::abort();
  return 0;
}

std::vector<std::string> fuzzSeeds() { return fuzzseeds::propertyLists(); }
