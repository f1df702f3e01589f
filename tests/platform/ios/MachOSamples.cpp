#include "tests/platform/ios/MachOSamples.h"

#include "tests/platform/ios/MachO.h"

namespace machosamples {
namespace {

void putName(std::vector<std::uint8_t>& bytes, std::size_t offset, const char* name) {
  std::memcpy(bytes.data() + offset, name, std::strlen(name));
}

}  // namespace

std::vector<std::uint8_t> unsignedDylib(std::uint32_t textStart, std::size_t linkeditSize) {
  constexpr std::size_t linkeditOffset = 0x4000;
  std::vector<std::uint8_t> bytes(linkeditOffset + linkeditSize, 0);
  put<std::uint32_t>(bytes, 0, 0xfeedfacf);
  put<std::uint32_t>(bytes, 4, machocheck::CPU_TYPE_ARM64);
  put<std::uint32_t>(bytes, 12, machocheck::MH_DYLIB);
  put<std::uint32_t>(bytes, 16, 2);
  put<std::uint32_t>(bytes, 20, 152 + 72);
  put<std::uint32_t>(bytes, 24, machocheck::MH_TWOLEVEL);
  std::size_t text = 32;
  put<std::uint32_t>(bytes, text, 0x19);
  put<std::uint32_t>(bytes, text + 4, 152);
  putName(bytes, text + 8, "__TEXT");
  put<std::uint64_t>(bytes, text + 32, 0x4000);
  put<std::uint64_t>(bytes, text + 48, 0x4000);
  put<std::uint32_t>(bytes, text + 64, 1);
  putName(bytes, text + 72, "__text");
  putName(bytes, text + 72 + 16, "__TEXT");
  put<std::uint64_t>(bytes, text + 72 + 32, textStart);
  put<std::uint64_t>(bytes, text + 72 + 40, 0x4000 - textStart);
  put<std::uint32_t>(bytes, text + 72 + 48, textStart);
  std::size_t linkedit = text + 152;
  put<std::uint32_t>(bytes, linkedit, 0x19);
  put<std::uint32_t>(bytes, linkedit + 4, 72);
  putName(bytes, linkedit + 8, "__LINKEDIT");
  put<std::uint64_t>(bytes, linkedit + 24, 0x4000);
  put<std::uint64_t>(bytes, linkedit + 32, linkeditSize);
  put<std::uint64_t>(bytes, linkedit + 40, linkeditOffset);
  put<std::uint64_t>(bytes, linkedit + 48, linkeditSize);
  for (std::size_t at = textStart; at < bytes.size(); ++at) bytes[at] = std::uint8_t(at * 7 + at / 4096);
  return bytes;
}

}  // namespace machosamples
