#pragma once

#include <cstddef>
#include <string>

#include "platform/objc/runtime.h"

namespace foundation {

/// Descriptions longer than this end in "...", so that describing a large
/// value read from a file costs bounded time and memory.
inline constexpr std::size_t descriptionMaximumLength = std::size_t{1} << 20;

/// The platform's old-style text of a value nested `level` deep: arrays as
/// "( ... )", dictionaries as "{ key = value; }", strings quoted where needed.
/// Linear in the text written, and at most descriptionMaximumLength long.
std::string describeNested(const objc_object* value, int level);

}  // namespace foundation
