#pragma once

#include <string_view>

#include "platform/foundation/NSString.h"

namespace orvane {

/// The most names the hook keeps. A name the snapshot has held is never
/// released (a hook may be playing it while a reload replaces it), so a
/// preferences file rewritten with ever new names must not grow the process
/// without end.
inline constexpr std::size_t maximumKeptThemeNames = 4096;

/// The one kept object for this text, made on its first use and kept for the
/// life of the process; nil once maximumKeptThemeNames other texts are kept.
/// Safe to call from any thread.
NSString* keptThemeName(std::string_view text);

}  // namespace orvane
