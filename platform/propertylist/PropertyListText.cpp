#include "platform/propertylist/PropertyListText.h"

#include <fmt/format.h>

#include <array>
#include <optional>

namespace foundation {
namespace {

enum class Encoding { Utf8, Utf16, Ascii, Latin1, Windows1252 };

// Windows-1252 where it differs from ISO-8859-1, 0x80 to 0x9F; 0 where it defines nothing.
constexpr std::array<std::uint16_t, 32> windows1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

std::optional<Encoding> encodingNamed(std::string_view name) {
  std::string lower = lowered(name);
  if (lower == "utf-8") return Encoding::Utf8;
  if (lower == "utf-16" || lower == "utf-16be" || lower == "utf-16le") return Encoding::Utf16;
  if (lower == "us-ascii" || lower == "ascii") return Encoding::Ascii;
  if (lower == "iso-8859-1" || lower == "iso_8859-1" || lower == "latin1" || lower == "latin-1")
    return Encoding::Latin1;
  if (lower == "windows-1252" || lower == "cp1252") return Encoding::Windows1252;
  return std::nullopt;
}

/// The `encoding` of an XML declaration at the start of ASCII-compatible
/// text; empty if there is none. False if the declaration cannot be read.
bool declaredEncoding(std::string_view text, std::string_view& name) {
  name = {};
  if (!text.starts_with("<?xml") || text.size() < 6 || !(text[5] == ' ' || text[5] == '\t' || text[5] == '\n' ||
                                                          text[5] == '\r' || text[5] == '?'))
    return true;
  std::string_view declaration = text.substr(0, text.find("?>"));
  auto at = declaration.find("encoding");
  if (at == std::string_view::npos) return true;
  at += 8;
  auto skipSpace = [&] {
    while (at < declaration.size() && (declaration[at] == ' ' || declaration[at] == '\t' || declaration[at] == '\n' ||
                                        declaration[at] == '\r'))
      ++at;
  };
  skipSpace();
  if (at >= declaration.size() || declaration[at] != '=') return false;
  ++at;
  skipSpace();
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return false;
  auto close = declaration.find(declaration[at], at + 1);
  if (close == std::string_view::npos) return false;
  name = declaration.substr(at + 1, close - at - 1);
  // XML's grammar of encoding names, in ASCII whatever the locale; it also keeps
  // what a message quotes short and plain.
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (name.empty() || name.size() > 40 || !letter(name[0])) return false;
  for (char c : name)
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '_' && c != '-') return false;
  return true;
}

/// Collects the characters of a document as UTF-8.
class TextSink {
 public:
  explicit TextSink(DecodedText& result) : result_(result) {}

  bool put(std::uint32_t code) {
    if (code == '\n' && afterCarriageReturn_) {
      afterCarriageReturn_ = false;
      return true;
    }
    afterCarriageReturn_ = code == '\r';
    if (code == 0) return fail("it holds a NUL character");
    if (!isXmlCharacter(code)) return fail(fmt::format("it holds the character U+{:04X}, which XML does not allow", code));
    appendUtf8(result_.text, code == '\r' ? '\n' : code);
    return true;
  }
  bool fail(std::string why) {
    if (result_.reason.empty()) result_.reason = std::move(why);
    return false;
  }

 private:
  DecodedText& result_;
  bool afterCarriageReturn_ = false;
};

bool decodeBytes(std::string_view bytes, Encoding encoding, TextSink& sink) {
  for (std::size_t at = 0; at < bytes.size();) {
    auto byte = static_cast<unsigned char>(bytes[at]);
    std::uint32_t code = byte;
    std::size_t length = 1;
    if (encoding == Encoding::Utf8) {
      length = utf8SequenceLength(bytes, at);
      if (length == 0) return sink.fail(fmt::format("it is not valid UTF-8 (at byte {})", at));
      code = utf8CodePoint(bytes, at, length);
    } else if (encoding == Encoding::Ascii && byte >= 0x80) {
      return sink.fail(fmt::format("it is not valid US-ASCII (at byte {})", at));
    } else if (encoding == Encoding::Windows1252 && byte >= 0x80 && byte < 0xA0) {
      code = windows1252[byte - 0x80];
      if (code == 0) return sink.fail(fmt::format("it is not valid Windows-1252 (at byte {})", at));
    }
    if (!sink.put(code)) return false;
    at += length;
  }
  return true;
}

bool decodeUtf16Bytes(std::string_view bytes, bool bigEndian, TextSink& sink) {
  if (bytes.size() % 2 != 0) return sink.fail("it is not valid UTF-16");
  auto unit = [&](std::size_t i) {
    auto first = static_cast<unsigned char>(bytes[2 * i]);
    auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    return static_cast<std::uint32_t>(bigEndian ? first << 8 | second : second << 8 | first);
  };
  if (!decodeUtf16(bytes.size() / 2, unit, [&](std::uint32_t code) { return sink.put(code); }))
    return sink.fail("it is not valid UTF-16");
  return true;
}

}  // namespace

void appendUtf8(std::string& out, std::uint32_t code) {
  if ((code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) code = 0xFFFD;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string wellFormedUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    if (std::size_t length = utf8SequenceLength(bytes, i)) {
      out.append(bytes.substr(i, length));
      i += length;
    } else {
      appendUtf8(out, 0xFFFD);
      ++i;
    }
  }
  return out;
}

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
  auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
  unsigned lead = byte(at);
  auto continuation = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(at + 1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    unsigned second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0)) return 0;  // overlong, surrogate
    return continuation(at + 1) && continuation(at + 2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    unsigned second = byte(at + 1);
    if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) return 0;  // overlong, beyond U+10FFFF
    return continuation(at + 1) && continuation(at + 2) && continuation(at + 3) ? 4 : 0;
  }
  return 0;
}

std::uint32_t utf8CodePoint(std::string_view text, std::size_t at, std::size_t length) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(text[at + i])); };
  if (length == 1) return byte(0);
  std::uint32_t code = byte(0) & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (byte(i) & 0x3F);
  return code;
}

bool isXmlCharacter(std::uint32_t code) {
  if (code < 0x20) return code == '\t' || code == '\n' || code == '\r';
  return (code < 0xD800 || (code >= 0xE000 && code <= 0xFFFD)) || (code >= 0x10000 && code <= 0x10FFFF);
}

DecodedText decodePropertyListText(std::string_view bytes) {
  DecodedText result;
  TextSink sink(result);
  auto refuse = [&](std::string why) {
    sink.fail(std::move(why));
    return result;
  };
  result.text.reserve(bytes.size());
  bool bigEndian = bytes.starts_with("\xFE\xFF");
  bool utf16 = bigEndian || bytes.starts_with("\xFF\xFE");
  if (utf16) {
    bytes.remove_prefix(2);
  } else if (bytes.size() >= 2 && ((bytes[0] == '\0' && bytes[1] == '<') || (bytes[0] == '<' && bytes[1] == '\0'))) {
    // UTF-16 without a byte-order mark, told by its first character.
    utf16 = true;
    bigEndian = bytes[0] == '\0';
  }
  // As on the platform, a byte-order mark decides, whatever the declaration says.
  if (utf16) {
    result.ok = decodeUtf16Bytes(bytes, bigEndian, sink);
    return result;
  }
  bool utf8Marked = bytes.starts_with("\xEF\xBB\xBF");
  if (utf8Marked) bytes.remove_prefix(3);
  std::string_view name;
  if (!declaredEncoding(bytes, name)) return refuse("its XML declaration is malformed");
  Encoding encoding = Encoding::Utf8;
  if (!name.empty() && !utf8Marked) {
    auto named = encodingNamed(name);
    if (!named) return refuse(fmt::format("it declares the encoding \"{}\", which cannot be read", name));
    if (*named == Encoding::Utf16)
      return refuse(fmt::format("it declares the encoding \"{}\" but has no byte-order mark", name));
    encoding = *named;
  }
  result.ok = decodeBytes(bytes, encoding, sink);
  return result;
}

}  // namespace foundation
