#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace machocheck {

/// SHA-256 of a byte range, as code signatures hash their pages.
std::array<std::uint8_t, 32> sha256(const std::uint8_t* bytes, std::size_t size);

}  // namespace machocheck
