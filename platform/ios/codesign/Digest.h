#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The two hashes code signatures use for their pages and blobs.

namespace codesign {

std::array<std::uint8_t, 20> sha1(const std::uint8_t* bytes, std::size_t size);
std::array<std::uint8_t, 32> sha256(const std::uint8_t* bytes, std::size_t size);

}  // namespace codesign
