#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The property-list file formats (XML, binary) without any object
// runtime, so that the device layer reads its own settings file with the same
// guarded parser as Foundation.
namespace foundation {

/// Deepest nesting of arrays and dictionaries any property list may have (the
/// preferences file is 1 deep).
inline constexpr std::size_t propertyListMaximumDepth = 64;

struct PropertyListLimits {
  std::size_t maxBytes = std::size_t{16} << 20;
  std::size_t maxDepth = propertyListMaximumDepth;
  /// Values in all, an object that a binary list shares counted at each reference.
  std::size_t maxObjects = std::size_t{1} << 20;
  /// Bytes of strings, keys and data in all, counted the same way: what a copy
  /// or the XML form of the value holds stays bounded, however small the file.
  std::size_t maxExpandedBytes = std::size_t{16} << 20;
};

struct PropertyListValue;
/// A value as its container holds it: an object that a binary list refers to
/// many times is read once and held by every container that refers to it.
using SharedPropertyListValue = std::shared_ptr<const PropertyListValue>;

/// One value of a property list. Strings are UTF-8 and hold no NUL character.
struct PropertyListValue {
  enum class Type { Boolean, Integer, Real, String, Data, Date, Array, Dictionary };

  Type type = Type::Dictionary;
  bool boolean = false;
  /// Integer: the two's complement bits of a signed value, or an unsigned value
  /// above INT64_MAX when isUnsigned.
  std::uint64_t integer = 0;
  bool isUnsigned = false;
  /// Real; Date: seconds since 2001-01-01 00:00:00 UTC.
  double real = 0;
  /// String: UTF-8 text; Data: the bytes.
  std::string text;
  /// Array: the items; Dictionary: the values, keys[i] naming items[i].
  std::vector<SharedPropertyListValue> items;
  std::vector<std::string> keys;

  const PropertyListValue& item(std::size_t index) const { return *items[index]; }
  void append(PropertyListValue item) { items.push_back(std::make_shared<const PropertyListValue>(std::move(item))); }
  void append(std::string key, PropertyListValue item) {
    keys.push_back(std::move(key));
    append(std::move(item));
  }
};

struct ParsedPropertyList {
  SharedPropertyListValue value;
  /// Why there is no value, for a person ("it is nested deeper than 64 levels").
  std::string reason;
};

/// Parses an XML or binary property list within the limits, without
/// recursion; XML in the encodings decodePropertyListText reads (UTF-8, UTF-16,
/// US-ASCII, ISO-8859-1, Windows-1252). Refused, with a reason: anything
/// malformed or truncated, nesting deeper than maxDepth, more bytes or values
/// than allowed, binary lists with cycles or references out of range, a NUL
/// character in a string or key, integers outside the 64-bit range and dates
/// outside the years 1 to 9999. Each object of a binary list is read once,
/// however often it is referred to, so the value takes memory near the file's
/// size; what it expands to is bounded by maxObjects and maxExpandedBytes.
ParsedPropertyList parsePropertyList(std::string_view bytes, const PropertyListLimits& limits);

/// The XML form of a value, read back by parsePropertyList (and other readers
/// of XML) as the same value, but for dates, which are written in whole
/// seconds as the platform writes them; nothing for a value it cannot hold (a
/// string or key that is no well-formed UTF-8 or holds a character XML 1.0
/// does not allow, NUL and other control characters among them; a date outside
/// the years 1 to 9999; nesting deeper than propertyListMaximumDepth).
std::optional<std::string> writeXmlPropertyList(const PropertyListValue& value);

}  // namespace foundation
