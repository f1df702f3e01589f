#pragma once

#include <string>

#include <fmt/format.h>

#include "platform/coregraphics/CGGeometry.h"

/// "{{x, y}, {width, height}}", as the platform prints a rectangle.
inline std::string NSStringFromCGRect(const CGRect& rect) {
  return fmt::format("{{{{{}, {}}}, {{{}, {}}}}}", rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
}
