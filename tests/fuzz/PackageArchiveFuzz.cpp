// Bytes as the data archive of a package: whatever they are, the reader gives
// entries or a reason, and what the judge lets through never names a way out
// of the device.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "sim/common/PackageArchive.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/support/TarArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int stream = ::memfd_create("archive", MFD_CLOEXEC);
  if (stream < 0) return 0;
  for (size_t written = 0; written < size;) {
    ssize_t got = ::write(stream, data + written, size - written);
    if (got <= 0) std::abort();
    written += static_cast<size_t>(got);
  }
  ::lseek(stream, 0, SEEK_SET);
  auto entries = package::readArchive(stream);
  ::close(stream);
  if (!entries) return 0;
  package::DeviceFit fit("");
  for (const package::ArchiveEntry& entry : *entries) {
    if (fit.refusal(entry)) continue;
    auto climbs = [](const std::string& path) {
      return path == ".." || path.starts_with("../") || path.find("/../") != std::string::npos ||
             path.ends_with("/..");
    };
    if (climbs(entry.path)) std::abort();
    if ((entry.type == '1' || entry.type == '2') && (entry.link.starts_with('/') || (entry.type == '1' && climbs(entry.link))))
      std::abort();
  }
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  using testsupport::tarOf;
  std::string longName = "./Library/" + std::string(150, 'n');
  return {
      tarOf({{"./", '5'}, {"./Library/", '5'}, {"./Library/a.dylib", '0', "", "bytes"}, {"./Library/b", '2', "a.dylib"}}),
      tarOf({{"./private/var/log/syslog", '1', "../canary/victim.txt"}, {"./Library/up", '2', ".."},
             {"./Library/up/esc", '2', ".."}, {"./var", '0', "", "x"}}),
      tarOf({{longName, '0', "", "long"}, {"./Library/l", '2', std::string(120, 'x')}}),
      "",
  };
}
