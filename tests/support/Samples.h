#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

/// UTF-16 bytes with a byte-order mark, little- or big-endian.
std::string utf16(const std::u16string& text, bool little);

/// A PNG file of the given size and libpng format (PNG_FORMAT_...), filled with a pattern.
std::string encodePng(std::uint32_t width, std::uint32_t height, std::uint32_t format);

}  // namespace testsupport
