#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// Mach-O files made here, for the signer's tests and its fuzz target.

namespace machosamples {

/// Writes `value` little-endian at `offset`, as the file's own fields are.
template <class T>
void put(std::vector<std::uint8_t>& bytes, std::size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

/// A small arm64 dylib as a linker lays it out, unsigned: header, __TEXT with
/// one section starting `textStart` bytes in (its load commands end at 0x100),
/// and __LINKEDIT at 0x4000 to the end of the file.
std::vector<std::uint8_t> unsignedDylib(std::uint32_t textStart = 0x200, std::size_t linkeditSize = 0x1234);

}  // namespace machosamples
