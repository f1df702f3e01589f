#pragma once

#include <string>

#include "platform/objc/runtime.h"

namespace foundation {

/// The platform's old-style text of a value nested `level` deep: arrays as
/// "( ... )", dictionaries as "{ key = value; }", strings quoted where needed.
std::string describeNested(const objc_object* value, int level);

}  // namespace foundation
