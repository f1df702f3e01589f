#include "platform/propertylist/PropertyListFormat.h"

#include "platform/propertylist/OpenStepPropertyList.h"
#include "platform/propertylist/PropertyListText.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace foundation {
namespace {

using Type = PropertyListValue::Type;

// Dates are kept as seconds since 2001-01-01; the XML form spells them as civil
// dates, computed with 64-bit day counts so every year from 1 to 9999 works.
constexpr std::int64_t daysFrom1970To2001 = 11323;
constexpr double earliestDate = -63113904000.0;  // 0001-01-01T00:00:00Z
constexpr double latestDate = 252423993600.0;    // 10000-01-01T00:00:00Z

std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  auto yearOfEra = static_cast<unsigned>(year - era * 400);
  unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

void civilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  year = static_cast<std::int64_t>(yearOfEra) + era * 400;
  unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  year += month <= 2;
}

bool dateInRange(double seconds) { return std::isfinite(seconds) && seconds >= earliestDate && seconds < latestDate; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// ASCII alone, whatever the process's locale says, and without a call per character.
bool isTagNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == ':' || c == '.';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool parseInteger(std::string_view text, PropertyListValue& value) {
  text = trimmed(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t magnitude = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
  value.type = Type::Integer;
  if (negative) {
    if (magnitude > std::uint64_t{1} << 63) return false;
    value.integer = ~magnitude + 1;
  } else {
    value.integer = magnitude;
    value.isUnsigned = magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  }
  return true;
}

bool parseReal(std::string_view text, double& real) {
  text = trimmed(text);
  std::string lower;
  for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (lower == "nan") {
    real = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  for (auto [spelling, sign] : {std::pair{"inf", 1.0}, {"+inf", 1.0}, {"infinity", 1.0}, {"+infinity", 1.0},
                                {"-inf", -1.0}, {"-infinity", -1.0}})
    if (lower == spelling) {
      real = sign * std::numeric_limits<double>::infinity();
      return true;
    }
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), real);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

/// "YYYY-MM-DDTHH:MM:SS[.fraction]Z" to seconds since 2001.
bool parseDate(std::string_view text, double& seconds) {
  text = trimmed(text);
  auto number = [&](std::size_t at, std::size_t digits, unsigned& out) {
    if (at + digits > text.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      out = out * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
  };
  unsigned year, month, day, hour, minute, second;
  if (text.size() < 20 || !number(0, 4, year) || text[4] != '-' || !number(5, 2, month) || text[7] != '-' ||
      !number(8, 2, day) || text[10] != 'T' || !number(11, 2, hour) || text[13] != ':' || !number(14, 2, minute) ||
      text[16] != ':' || !number(17, 2, second) || text.back() != 'Z')
    return false;
  static constexpr unsigned monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > monthDays[month - 1] ||
      (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59)
    return false;
  double fraction = 0;
  std::string_view rest = text.substr(19, text.size() - 20);
  if (!rest.empty()) {
    if (rest.front() != '.' || rest.size() < 2) return false;
    for (char c : rest.substr(1))
      if (c < '0' || c > '9') return false;
    std::string decimal = "0" + std::string(rest);
    auto [end, error] = std::from_chars(decimal.data(), decimal.data() + decimal.size(), fraction);
    if (error != std::errc() || end != decimal.data() + decimal.size()) return false;
  }
  std::int64_t days = daysFromCivil(year, month, day) - daysFrom1970To2001;
  double whole = static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second);
  seconds = whole + fraction;
  return true;
}

int base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool decodeBase64(std::string_view text, std::string& out) {
  std::uint32_t accumulator = 0;
  int bits = 0;
  bool padded = false;
  for (char c : text) {
    if (isSpace(c)) continue;
    if (c == '=') {
      padded = true;
      continue;
    }
    int digit = base64Digit(c);
    if (digit < 0 || padded) return false;
    accumulator = (accumulator << 6) | static_cast<std::uint32_t>(digit);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((accumulator >> bits) & 0xFF);
    }
  }
  return true;
}

/// What a value comes to with every shared object counted at each reference.
struct Extent {
  std::size_t values = 0;
  std::size_t bytes = 0;
  /// Containers on its deepest path.
  std::size_t height = 0;
};

/// Containers being filled, innermost last; shared by both parsers.
class Builder {
 public:
  explicit Builder(const PropertyListLimits& limits) : limits_(limits) {}

  bool failed() const { return !reason_.empty(); }
  const std::string& reason() const { return reason_; }
  bool fail(std::string why) {
    if (reason_.empty()) reason_ = std::move(why);
    return false;
  }
  std::size_t depth() const { return open_.size(); }
  bool done() const { return root_ != nullptr; }
  Type innermost() const { return open_.back().value.type; }

  /// A new string, number, date or data value; `made`, if given, receives it for reuse.
  bool scalar(PropertyListValue value, SharedPropertyListValue* made = nullptr) {
    Extent extent{1, value.text.size(), 0};
    auto shared = std::make_shared<const PropertyListValue>(std::move(value));
    if (made) *made = shared;
    return add(std::move(shared), extent);
  }
  /// A value already made, at one more place that refers to it.
  bool add(SharedPropertyListValue value, const Extent& extent) {
    if (!count(extent)) return false;
    if (extent.height > limits_.maxDepth - std::min(limits_.maxDepth, open_.size())) return nestedTooDeep();
    return deliver(std::move(value), extent);
  }
  bool open(Type type) {
    if (!count({1, 0, 0})) return false;
    if (open_.size() >= limits_.maxDepth) return nestedTooDeep();
    Open container;
    container.value.type = type;
    container.extent = {1, 0, 1};
    open_.push_back(std::move(container));
    return true;
  }
  bool key(std::string text) {
    if (open_.empty() || open_.back().value.type != Type::Dictionary || open_.back().pendingKey)
      return fail("a key stands outside a dictionary or without a value");
    if (!count({0, text.size(), 0})) return false;
    open_.back().extent.bytes += text.size();
    open_.back().pendingKey = std::move(text);
    return true;
  }
  /// Closes the innermost container; `made` and `extent`, if given, receive it for reuse.
  bool close(SharedPropertyListValue* made = nullptr, Extent* extent = nullptr) {
    if (open_.back().pendingKey) return fail("a key has no value");
    Open finished = std::move(open_.back());
    open_.pop_back();
    auto shared = std::make_shared<const PropertyListValue>(std::move(finished.value));
    if (made) *made = shared;
    if (extent) *extent = finished.extent;
    return deliver(std::move(shared), finished.extent);
  }
  SharedPropertyListValue take() { return std::move(root_); }

 private:
  struct Open {
    PropertyListValue value;
    Extent extent;
    std::optional<std::string> pendingKey;
  };

  bool nestedTooDeep() { return fail(fmt::format("it is nested deeper than {} levels", limits_.maxDepth)); }
  // The totals never pass their limits, so the sums cannot overflow.
  bool count(const Extent& extent) {
    if (extent.values > limits_.maxObjects - values_)
      return fail(fmt::format("it holds more than {} values", limits_.maxObjects));
    if (extent.bytes > limits_.maxExpandedBytes - bytes_)
      return fail(fmt::format("it expands to more than {} bytes of text and data", limits_.maxExpandedBytes));
    values_ += extent.values;
    bytes_ += extent.bytes;
    return true;
  }
  bool deliver(SharedPropertyListValue value, const Extent& extent) {
    if (open_.empty()) {
      root_ = std::move(value);
      return true;
    }
    Open& parent = open_.back();
    if (parent.value.type == Type::Dictionary) {
      if (!parent.pendingKey) return fail("a dictionary value has no key");
      parent.value.keys.push_back(std::move(*parent.pendingKey));
      parent.pendingKey.reset();
    }
    parent.value.items.push_back(std::move(value));
    parent.extent.values += extent.values;
    parent.extent.bytes += extent.bytes;
    parent.extent.height = std::max(parent.extent.height, extent.height + 1);
    return true;
  }

  const PropertyListLimits& limits_;
  std::vector<Open> open_;
  SharedPropertyListValue root_;
  std::size_t values_ = 0;
  std::size_t bytes_ = 0;
  std::string reason_;
};

class XmlParser {
 public:
  XmlParser(std::string_view text, const PropertyListLimits& limits) : text_(text), builder_(limits) {}

  ParsedPropertyList parse() {
    ParsedPropertyList result;
    if (run()) result.value = builder_.take();
    else result.reason = builder_.failed() ? builder_.reason() : "it is not a well-formed XML property list";
    return result;
  }

 private:
  struct Tag {
    std::string_view name;
    bool closing = false;
    bool empty = false;
  };

  bool fail(std::string why) { return builder_.fail(std::move(why)); }
  bool atEnd() const { return at_ >= text_.size(); }
  bool startsWith(std::string_view prefix) const { return text_.substr(at_).starts_with(prefix); }
  bool skipPast(std::string_view end) {
    auto found = text_.find(end, at_);
    if (found == std::string_view::npos) return false;
    at_ = found + end.size();
    return true;
  }

  /// White space, comments, processing instructions and a document type.
  bool skipMiscellany() {
    for (;;) {
      while (!atEnd() && isSpace(text_[at_])) ++at_;
      if (startsWith("<!--")) {
        if (!skipPast("-->")) return false;
      } else if (startsWith("<?")) {
        if (!skipPast("?>")) return false;
      } else if (startsWith("<!DOCTYPE")) {
        while (!atEnd() && text_[at_] != '>' && text_[at_] != '[') ++at_;
        if (!atEnd() && text_[at_] == '[' && !skipPast("]")) return false;
        if (!skipPast(">")) return false;
      } else {
        return true;
      }
    }
  }

  bool readTag(Tag& tag) {
    if (atEnd() || text_[at_] != '<') return false;
    ++at_;
    tag = Tag{};
    if (!atEnd() && text_[at_] == '/') {
      tag.closing = true;
      ++at_;
    }
    std::size_t start = at_;
    while (!atEnd() && isTagNameCharacter(text_[at_])) ++at_;
    tag.name = text_.substr(start, at_ - start);
    if (tag.name.empty()) return false;
    // Attributes are skipped; a quoted value may hold '>'.
    while (!atEnd() && text_[at_] != '>') {
      char c = text_[at_];
      if (c == '"' || c == '\'') {
        auto close = text_.find(c, at_ + 1);
        if (close == std::string_view::npos) return false;
        at_ = close + 1;
        continue;
      }
      if (c == '/' && at_ + 1 < text_.size() && text_[at_ + 1] == '>') {
        if (tag.closing) return false;
        tag.empty = true;
        ++at_;
        continue;
      }
      if (c == '<') return false;
      ++at_;
    }
    if (atEnd()) return false;
    ++at_;
    return true;
  }

  /// The character data of an element up to its closing tag, entities decoded.
  bool readText(const Tag& tag, std::string& out) {
    if (tag.empty) return true;
    for (;;) {
      if (atEnd()) return false;
      char c = text_[at_];
      if (c == '&') {
        if (!readEntity(out)) return false;
        continue;
      }
      if (c != '<') {
        std::size_t stop = at_;
        while (stop < text_.size() && text_[stop] != '<' && text_[stop] != '&') ++stop;
        out.append(text_.substr(at_, stop - at_));
        at_ = stop;
        continue;
      }
      if (startsWith("<![CDATA[")) {
        std::size_t start = at_ + 9;
        auto end = text_.find("]]>", start);
        if (end == std::string_view::npos) return false;
        out.append(text_.substr(start, end - start));
        at_ = end + 3;
      } else if (startsWith("<!--")) {
        if (!skipPast("-->")) return false;
      } else {
        Tag close;
        return readTag(close) && close.closing && close.name == tag.name;
      }
    }
  }

  bool readEntity(std::string& out) {
    // Only a short name fits between '&' and ';': never search the rest of the file.
    auto semicolon = text_.substr(at_, 14).find(';');
    if (semicolon == std::string_view::npos) return false;
    semicolon += at_;
    std::string_view name = text_.substr(at_ + 1, semicolon - at_ - 1);
    at_ = semicolon + 1;
    for (auto [entity, character] : {std::pair{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}})
      if (name == entity) {
        out += character;
        return true;
      }
    if (name.size() < 2 || name[0] != '#') return false;
    int base = 10;
    name.remove_prefix(1);
    if (name[0] == 'x' || name[0] == 'X') {
      base = 16;
      name.remove_prefix(1);
    }
    std::uint32_t code = 0;
    auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), code, base);
    if (name.empty() || error != std::errc() || end != name.data() + name.size()) return false;
    if (code == 0) return fail("it holds a NUL character");
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (!isXmlCharacter(code))
      return fail(fmt::format("it holds the character U+{:04X}, which XML does not allow", code));
    appendUtf8(out, code);
    return true;
  }

  bool run() {
    if (!skipMiscellany()) return false;
    Tag tag;
    if (!readTag(tag) || tag.closing) return false;
    bool inPlist = tag.name == "plist";
    if (inPlist) {
      if (tag.empty || !skipMiscellany() || !readTag(tag)) return false;
      if (tag.closing) return false;
    }
    for (;;) {
      if (!value(tag)) return false;
      if (builder_.done()) break;
      if (!skipMiscellany() || !readTag(tag)) return false;
      while (tag.closing) {
        if (builder_.depth() == 0) return false;
        std::string_view expected = builder_.innermost() == Type::Array ? "array" : "dict";
        if (tag.name != expected || !builder_.close()) return false;
        if (builder_.done()) break;
        if (!skipMiscellany() || !readTag(tag)) return false;
      }
      if (builder_.done()) break;
    }
    if (inPlist) {
      if (!skipMiscellany() || !readTag(tag) || !tag.closing || tag.name != "plist") return false;
    }
    if (!skipMiscellany() || !atEnd()) return fail("there is more after the property list");
    return true;
  }

  bool value(const Tag& tag) {
    std::string_view name = tag.name;
    if (name == "dict" || name == "array") {
      if (!builder_.open(name == "dict" ? Type::Dictionary : Type::Array)) return false;
      return !tag.empty || builder_.close();
    }
    std::string text;
    if (!readText(tag, text)) return false;
    if (name == "key") return builder_.key(std::move(text));
    PropertyListValue value;
    if (name == "string") {
      value.type = Type::String;
      value.text = std::move(text);
    } else if (name == "integer") {
      if (!parseInteger(text, value)) return fail("an integer is malformed or outside the 64-bit range");
    } else if (name == "real") {
      value.type = Type::Real;
      if (!parseReal(text, value.real)) return fail("a real number is malformed");
    } else if (name == "true" || name == "false") {
      if (!trimmed(text).empty()) return false;
      value.type = Type::Boolean;
      value.boolean = name == "true";
    } else if (name == "date") {
      value.type = Type::Date;
      if (!parseDate(text, value.real)) return fail("a date is malformed or outside the years 1 to 9999");
    } else if (name == "data") {
      value.type = Type::Data;
      if (!decodeBase64(text, value.text)) return fail("a data value is not base64");
    } else {
      return fail(fmt::format("it holds an unknown element <{}>", name));
    }
    return builder_.scalar(std::move(value));
  }

  std::string_view text_;
  std::size_t at_ = 0;
  Builder builder_;
};

class BinaryParser {
 public:
  BinaryParser(std::string_view bytes, const PropertyListLimits& limits) : bytes_(bytes), builder_(limits) {}

  ParsedPropertyList parse() {
    ParsedPropertyList result;
    if (run()) result.value = builder_.take();
    else result.reason = builder_.failed() ? builder_.reason() : "it is not a well-formed binary property list";
    return result;
  }

 private:
  struct Frame {
    std::size_t object;
    std::size_t references;  // where the item (and for a dictionary, key) references start
    std::size_t count;
    std::size_t next = 0;
  };

  bool fail(std::string why) { return builder_.fail(std::move(why)); }

  /// A big-endian unsigned number of `size` bytes at `at`, all within the objects' area.
  bool number(std::size_t at, std::size_t size, std::uint64_t& out) const {
    if (at > end_ || size > end_ - at) return false;
    out = 0;
    for (std::size_t i = 0; i < size; ++i) out = (out << 8) | static_cast<unsigned char>(bytes_[at + i]);
    return true;
  }

  bool run() {
    if (bytes_.size() < 8 + 32) return false;
    std::size_t trailer = bytes_.size() - 32;
    end_ = trailer;
    auto trailerByte = [&](std::size_t i) { return static_cast<unsigned char>(bytes_[trailer + i]); };
    offsetSize_ = trailerByte(6);
    referenceSize_ = trailerByte(7);
    auto valid = [](std::size_t size) { return size == 1 || size == 2 || size == 4 || size == 8; };
    if (!valid(offsetSize_) || !valid(referenceSize_)) return false;
    std::uint64_t objects = 0, top = 0, table = 0;
    auto trailerNumber = [&](std::size_t i) {
      std::uint64_t out = 0;
      for (std::size_t k = 0; k < 8; ++k) out = (out << 8) | trailerByte(i + k);
      return out;
    };
    objects = trailerNumber(8);
    top = trailerNumber(16);
    table = trailerNumber(24);
    if (objects == 0 || top >= objects || table < 8 || table > trailer || objects > (trailer - table) / offsetSize_)
      return false;
    table_ = static_cast<std::size_t>(table);
    objectCount_ = static_cast<std::size_t>(objects);
    end_ = table_;
    onPath_.assign(objectCount_, false);
    return walk(static_cast<std::size_t>(top));
  }

  bool offsetOf(std::size_t object, std::size_t& offset) const {
    std::uint64_t value = 0;
    std::size_t at = table_ + object * offsetSize_;
    for (std::size_t i = 0; i < offsetSize_; ++i) value = (value << 8) | static_cast<unsigned char>(bytes_[at + i]);
    if (value < 8 || value >= table_) return false;
    offset = static_cast<std::size_t>(value);
    return true;
  }

  bool reference(std::size_t at, std::size_t& object) const {
    std::uint64_t value = 0;
    if (!number(at, referenceSize_, value) || value >= objectCount_) return false;
    object = static_cast<std::size_t>(value);
    return true;
  }

  /// The length of an object whose marker's low nibble is `nibble`, and where its content starts.
  bool lengthOf(std::size_t offset, unsigned nibble, std::size_t& length, std::size_t& content) const {
    content = offset + 1;
    if (nibble != 0xF) {
      length = nibble;
      return true;
    }
    std::uint64_t marker = 0, value = 0;
    if (!number(content, 1, marker) || (marker & 0xF0) != 0x10 || (marker & 0x0F) > 3) return false;
    std::size_t size = std::size_t{1} << (marker & 0x0F);
    if (!number(content + 1, size, value) || value > end_) return false;
    length = static_cast<std::size_t>(value);
    content += 1 + size;
    return true;
  }

  bool walk(std::size_t top) {
    std::vector<Frame> frames;
    if (!visit(top, frames)) return false;
    while (!frames.empty()) {
      Frame& frame = frames.back();
      if (frame.next == frame.count) {
        std::size_t object = frame.object;
        onPath_[object] = false;
        frames.pop_back();
        Made& made = made_[object];
        if (!builder_.close(&made.value, &made.extent)) return false;
        continue;
      }
      std::size_t index = frame.next++;
      std::size_t child = 0;
      if (builder_.innermost() == Type::Dictionary) {
        std::size_t key = 0;
        if (!reference(frame.references + index * referenceSize_, key) || !readKey(key)) return false;
        if (!reference(frame.references + (frame.count + index) * referenceSize_, child)) return false;
      } else if (!reference(frame.references + index * referenceSize_, child)) {
        return false;
      }
      if (!visit(child, frames)) return false;
    }
    return builder_.done();
  }

  bool readKey(std::size_t object) {
    std::size_t offset = 0;
    if (!offsetOf(object, offset)) return false;
    auto marker = static_cast<unsigned char>(bytes_[offset]);
    std::string text;
    if ((marker >> 4) != 0x5 && (marker >> 4) != 0x6) return fail("a dictionary key is not a string");
    if (!readString(offset, marker, text)) return false;
    return builder_.key(std::move(text));
  }

  bool readString(std::size_t offset, unsigned char marker, std::string& out) {
    std::size_t length = 0, content = 0;
    if (!lengthOf(offset, marker & 0x0F, length, content)) return false;
    if ((marker >> 4) == 0x5) {
      if (content > end_ || length > end_ - content) return false;
      std::string_view text = bytes_.substr(content, length);
      if (text.find('\0') != std::string_view::npos) return fail("it holds a NUL character");
      for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return fail("an ASCII string holds a byte above 127");
      out.assign(text);
      return true;
    }
    if (content > end_ || length > (end_ - content) / 2) return false;
    auto unit = [&](std::size_t i) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[content + 2 * i]) << 8 |
                                        static_cast<unsigned char>(bytes_[content + 2 * i + 1]));
    };
    out.reserve(length);
    auto put = [&](std::uint32_t code) {
      appendUtf8(out, code);
      return code != 0;
    };
    if (!decodeUtf16(length, unit, put)) return fail("a string holds a NUL character or a lone surrogate");
    return true;
  }

  /// Reads one object: a scalar goes straight to the builder, a container opens
  /// a frame, and one read before is handed on again.
  bool visit(std::size_t object, std::vector<Frame>& frames) {
    if (auto found = made_.find(object); found != made_.end())
      return builder_.add(found->second.value, found->second.extent);
    if (onPath_[object]) return fail("it contains itself");
    std::size_t offset = 0;
    if (!offsetOf(object, offset)) return false;
    auto marker = static_cast<unsigned char>(bytes_[offset]);
    unsigned kind = marker >> 4, nibble = marker & 0x0F;
    PropertyListValue value;
    switch (kind) {
      case 0x0:
        if (nibble != 0x8 && nibble != 0x9) return fail("it holds a null or unknown value");
        value.type = Type::Boolean;
        value.boolean = nibble == 0x9;
        break;
      case 0x1: {
        value.type = Type::Integer;
        if (nibble > 4) return false;
        std::size_t size = std::size_t{1} << nibble;
        if (size == 16) {
          std::uint64_t high = 0;
          if (!number(offset + 1, 8, high) || !number(offset + 9, 8, value.integer)) return false;
          if (high != 0) return fail("an integer is outside the 64-bit range");
          value.isUnsigned = value.integer > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        } else if (!number(offset + 1, size, value.integer)) {
          return false;
        }
        break;
      }
      case 0x2:
      case 0x3: {
        if ((kind == 0x2 && nibble != 2 && nibble != 3) || (kind == 0x3 && nibble != 3)) return false;
        std::uint64_t bits = 0;
        if (!number(offset + 1, std::size_t{1} << nibble, bits)) return false;
        if (nibble == 2) {
          float single;
          auto narrow = static_cast<std::uint32_t>(bits);
          std::memcpy(&single, &narrow, sizeof single);
          value.real = single;
        } else {
          std::memcpy(&value.real, &bits, sizeof value.real);
        }
        value.type = kind == 0x2 ? Type::Real : Type::Date;
        if (value.type == Type::Date && !dateInRange(value.real))
          return fail("a date is outside the years 1 to 9999");
        break;
      }
      case 0x4: {
        std::size_t length = 0, content = 0;
        if (!lengthOf(offset, nibble, length, content) || content > end_ || length > end_ - content) return false;
        value.type = Type::Data;
        value.text.assign(bytes_.substr(content, length));
        break;
      }
      case 0x5:
      case 0x6:
        value.type = Type::String;
        if (!readString(offset, marker, value.text)) return false;
        break;
      case 0xA:
      case 0xD: {
        std::size_t count = 0, content = 0;
        if (!lengthOf(offset, nibble, count, content)) return false;
        std::size_t references = kind == 0xD ? 2 : 1;
        if (content > end_ || count > (end_ - content) / referenceSize_ / references) return false;
        if (!builder_.open(kind == 0xA ? Type::Array : Type::Dictionary)) return false;
        onPath_[object] = true;
        frames.push_back({object, content, count});
        return true;
      }
      default:
        return fail("it holds an unsupported binary object");
    }
    Made& made = made_[object];
    made.extent = {1, value.text.size(), 0};
    return builder_.scalar(std::move(value), &made.value);
  }

  /// An object read, with what it expands to.
  struct Made {
    SharedPropertyListValue value;
    Extent extent;
  };

  std::string_view bytes_;
  Builder builder_;
  std::size_t end_ = 0;
  std::size_t table_ = 0;
  std::size_t objectCount_ = 0;
  std::size_t offsetSize_ = 0;
  std::size_t referenceSize_ = 0;
  std::vector<bool> onPath_;
  // Only the objects read: the offset table may name far more than the values allowed.
  std::unordered_map<std::size_t, Made> made_;
};

// Writing, in the layout the platform's tools use: tabs, one element a line.

/// False for text that is no well-formed UTF-8 or holds a character XML cannot
/// carry (a control character, say): the file would not be read back.
bool appendEscaped(std::string& out, std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = utf8SequenceLength(text, at);
    if (length == 0 || !isXmlCharacter(utf8CodePoint(text, at, length))) return false;
    char c = text[at];
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else if (c == '\r') out += "&#13;";  // a raw one would be read as a line feed
    else out.append(text.substr(at, length));
    at += length;
  }
  return true;
}

std::string realText(double real) {
  if (std::isnan(real)) return "nan";
  if (std::isinf(real)) return real > 0 ? "+infinity" : "-infinity";
  return fmt::format("{:.17g}", real);
}

/// Whole seconds, as the platform writes dates (and as other readers expect them).
std::string dateText(double seconds) {
  auto total = static_cast<std::int64_t>(std::floor(seconds));
  std::int64_t days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
  std::int64_t inDay = total - days * 86400;
  std::int64_t year;
  unsigned month, day;
  civilFromDays(days + daysFrom1970To2001, year, month, day);
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z", year, month, day, inDay / 3600, inDay / 60 % 60,
                     inDay % 60);
}

void appendBase64(std::string& out, std::string_view bytes, const std::string& indent) {
  static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string encoded;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
    encoded += digits[(group >> 18) & 63];
    encoded += digits[(group >> 12) & 63];
    encoded += i + 1 < bytes.size() ? digits[(group >> 6) & 63] : '=';
    encoded += i + 2 < bytes.size() ? digits[group & 63] : '=';
  }
  std::size_t width = indent.size() * 8 < 44 ? 76 - indent.size() * 8 : 32;
  for (std::size_t i = 0; i < encoded.size(); i += width) out += indent + encoded.substr(i, width) + "\n";
}

bool writeValue(std::string& out, const PropertyListValue& value, std::size_t depth) {
  std::string indent(depth, '\t');
  switch (value.type) {
    case Type::Boolean: out += indent + (value.boolean ? "<true/>\n" : "<false/>\n"); return true;
    case Type::Integer:
      out += indent + "<integer>" +
             (value.isUnsigned ? std::to_string(value.integer) : std::to_string(static_cast<std::int64_t>(value.integer))) +
             "</integer>\n";
      return true;
    case Type::Real: out += indent + "<real>" + realText(value.real) + "</real>\n"; return true;
    case Type::Date:
      if (!dateInRange(value.real)) return false;
      out += indent + "<date>" + dateText(value.real) + "</date>\n";
      return true;
    case Type::String:
      out += indent + "<string>";
      if (!appendEscaped(out, value.text)) return false;
      out += "</string>\n";
      return true;
    case Type::Data:
      out += indent + "<data>\n";
      appendBase64(out, value.text, indent);
      out += indent + "</data>\n";
      return true;
    case Type::Array:
    case Type::Dictionary: {
      bool dictionary = value.type == Type::Dictionary;
      if (depth >= propertyListMaximumDepth || (dictionary && value.keys.size() != value.items.size())) return false;
      const char* name = dictionary ? "dict" : "array";
      if (value.items.empty()) {
        out += fmt::format("{}<{}/>\n", indent, name);
        return true;
      }
      out += fmt::format("{}<{}>\n", indent, name);
      for (std::size_t i = 0; i < value.items.size(); ++i) {
        if (dictionary) {
          out += indent + "\t<key>";
          if (!appendEscaped(out, value.keys[i])) return false;
          out += "</key>\n";
        }
        if (!writeValue(out, *value.items[i], depth + 1)) return false;
      }
      out += fmt::format("{}</{}>\n", indent, name);
      return true;
    }
  }
  return false;
}

}  // namespace

ParsedPropertyList parsePropertyList(std::string_view bytes, const PropertyListLimits& limits) {
  if (bytes.size() > limits.maxBytes) return {nullptr, fmt::format("it is larger than {} bytes", limits.maxBytes)};
  if (bytes.empty()) return {nullptr, "it is empty"};
  if (bytes.starts_with("bplist00")) return BinaryParser(bytes, limits).parse();
  DecodedText text = decodePropertyListText(bytes);
  if (!text.ok) return {nullptr, std::move(text.reason)};
  if (isOpenStepPropertyList(text.text)) return parseOpenStepPropertyList(text.text, limits);
  return XmlParser(text.text, limits).parse();
}

std::optional<std::string> writeXmlPropertyList(const PropertyListValue& value) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n";
  if (!writeValue(out, value, 0)) return std::nullopt;
  return out + "</plist>\n";
}

}  // namespace foundation
