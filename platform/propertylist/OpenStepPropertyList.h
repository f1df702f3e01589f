#pragma once

#include <string_view>

#include "platform/propertylist/PropertyListFormat.h"

// The platform's old text format of property lists (OpenStep style), which it
// still reads wherever it reads property lists:
//
//   { isEnabled = 1; "selectedIncreaseSound" = "Mac Volume Change"; list = (a, "b c"); blob = <0fbd77>; }
//
// Strings, quoted or bare, data, arrays and dictionaries; no numbers, dates or
// Booleans (a switch stored as "1" is a string whose truth value counts), and
// comments in the two styles of C. The content of a dictionary without its
// braces, as a strings file holds it, is read as that dictionary.
namespace foundation {

/// Whether decoded text is of this format rather than XML: it does not begin,
/// after white space, with "<".
bool isOpenStepPropertyList(std::string_view text);

/// Parses UTF-8 text of this format within the limits, without recursion.
/// Refused, with a reason naming the line: anything malformed, nesting deeper
/// than maxDepth, more values than maxObjects, a NUL character in a string or
/// key, and text that is no valid UTF-8.
ParsedPropertyList parseOpenStepPropertyList(std::string_view text, const PropertyListLimits& limits);

}  // namespace foundation
