// The signer on any bytes: a reason, or a file that the checker finds rightly
// signed and that signs again to itself; never a crash.
#include <cstdlib>

#include "platform/ios/codesign/CodeSignature.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/platform/ios/MachO.h"
#include "tests/platform/ios/MachOSamples.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto signedFile = codesign::signAdHoc(std::vector<std::uint8_t>(data, data + size), "fuzz");
  if (!signedFile) return 0;
  auto again = codesign::signAdHoc(signedFile->bytes, "fuzz");
  if (!again || again->bytes != signedFile->bytes) std::abort();
  machocheck::MachOFile file;
  try {
    file = machocheck::MachOFile::parse(signedFile->bytes);
  } catch (const machocheck::MalformedFile&) {
    return 0;  // the checker reads more of a file (symbols, exports) than the signer needs
  }
  if (!codeSignatureFaults(file, "fuzz").empty()) std::abort();
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  auto text = [](const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); };
  std::vector<std::string> seeds{text(machosamples::unsignedDylib()), text(machosamples::unsignedDylib(0x110, 1)),
                                 text(machosamples::unsignedDylib(0x100, 0x100))};
  if (auto signedFile = codesign::signAdHoc(machosamples::unsignedDylib(0x200, 0x80), "seed")) {
    seeds.push_back(text(signedFile->bytes));
  }
  return seeds;
}
