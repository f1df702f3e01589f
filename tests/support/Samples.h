#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

/// UTF-16 bytes with a byte-order mark, little- or big-endian.
std::string utf16(const std::u16string& text, bool little);

/// A PNG file of the given size and libpng format (PNG_FORMAT_...), filled with a pattern.
std::string encodePng(std::uint32_t width, std::uint32_t height, std::uint32_t format);

/// `value` in `size` bytes, the most significant first.
std::string bigEndian(std::uint64_t value, std::size_t size);

/// A binary property list of encoded objects, the first one the root, with
/// offsets and references of the given widths; its trailer says it holds
/// `declaredObjects` objects (0: as many as there are).
std::string binaryPropertyList(const std::vector<std::string>& objects, std::size_t offsetSize,
                               std::size_t referenceSize, std::uint64_t declaredObjects = 0);

/// A binary property list {isEnabled = true; list = (S, S, ...)}: its array
/// refers `count` times to one string S of `length` bytes.
std::string sharedStringPropertyList(std::size_t length, std::size_t count);

}  // namespace testsupport
