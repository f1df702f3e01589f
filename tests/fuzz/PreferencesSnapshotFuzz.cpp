// The hook library's snapshot load from a preferences file holding the bytes,
// as SpringBoard runs it at start and on every settings change: never a crash
// or a hang, and a snapshot that only ever holds names a theme file can have.
#include <cstdlib>
#include <string_view>

#include "contract/Orvane.h"
#include "tests/fuzz/FuzzDevice.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/PropertyListSeeds.h"

extern "C" {
void snapshotShimLoad();
const char* snapshotShimSelected(bool up);
}

namespace {

/// Whether the theme's file could exist: every part between slashes no longer
/// than a file name may be (255 bytes, the last with its extension), the whole
/// path shorter than a path may be (1024 bytes with its end).
bool fitsAFile(std::string_view name) {
  const std::size_t extension = orvane::contract::soundExtension.view().size();
  if (orvane::contract::soundDirectory.view().size() + name.size() + extension > 1023) return false;
  while (true) {
    std::size_t slash = name.find('/');
    if (slash == std::string_view::npos) return name.size() + extension <= 255;
    if (slash > 255) return false;
    name.remove_prefix(slash + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzseeds::putDeviceFile("/private/var/mobile/Library/Preferences/com.quillmark.orvane.plist",
                           std::string_view(reinterpret_cast<const char*>(data), size));
  snapshotShimLoad();
  for (bool up : {true, false})
    if (const char* name = snapshotShimSelected(up); name && !fitsAFile(name)) std::abort();
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  std::vector<std::string> seeds = fuzzseeds::propertyLists();
  // A name longer than one file name, in parts that each fit one: it names a file, and is kept.
  seeds.push_back("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>selectedIncreaseSound</key><string>" +
                  std::string(200, 'a') + "/" + std::string(200, 'b') + "</string></dict></plist>\n");
  return seeds;
}
