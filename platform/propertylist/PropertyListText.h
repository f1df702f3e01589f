#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The characters of a text property list: the encodings it may be written in,
// XML's line ends, and the characters XML 1.0 can carry. Shared by the reader,
// the writer and the string tables.
namespace foundation {

/// Appends a code point as UTF-8; a surrogate or a value beyond U+10FFFF becomes U+FFFD.
void appendUtf8(std::string& out, std::uint32_t code);

/// The length of the well-formed UTF-8 sequence at `at` (no overlong form, no
/// surrogate, nothing beyond U+10FFFF), or 0 if there is none.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

/// The text with every byte that starts no well-formed UTF-8 sequence replaced by U+FFFD.
std::string wellFormedUtf8(std::string_view bytes);

/// The code point of the well-formed sequence of `length` bytes at `at`.
std::uint32_t utf8CodePoint(std::string_view text, std::size_t at, std::size_t length);

/// Reads `count` UTF-16 code units (`unit(i)` is the i-th) and hands each code
/// point to `put`; false for a lone surrogate, or as soon as `put` says false.
template <class Unit, class Put>
bool decodeUtf16(std::size_t count, Unit unit, Put put) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t code = unit(i);
    if (code >= 0xDC00 && code <= 0xDFFF) return false;
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (i + 1 >= count) return false;
      std::uint32_t low = unit(i + 1);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    }
    if (!put(code)) return false;
  }
  return true;
}

/// Whether XML 1.0 lets a document hold the character, raw or as a reference:
/// tab, line feed, carriage return, and U+0020 to U+10FFFF but for the
/// surrogates, U+FFFE and U+FFFF.
bool isXmlCharacter(std::uint32_t code);

/// A text document as UTF-8, or why it cannot be read. The encoding is told by
/// a byte-order mark (UTF-8, UTF-16), whatever the declaration says, as the
/// platform reads it; by UTF-16's first character "<"; or by the XML
/// declaration's `encoding`: UTF-8 (the default), US-ASCII, ISO-8859-1 or
/// Windows-1252. Bytes the encoding does not define, characters XML does not
/// allow, and an encoding not among these are refused; CR LF and a lone CR
/// become LF, as XML reads them.
struct DecodedText {
  bool ok = false;
  std::string text;
  std::string reason;
};
DecodedText decodePropertyListText(std::string_view bytes);

}  // namespace foundation
