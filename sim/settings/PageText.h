#pragma once

#include <string>

#include "sim/settings/PageSnapshot.h"

namespace settings {

/// The page as a person reads it: title, then each group's rows with kind and value.
std::string toText(const PageSnapshot& page);
/// The page's bars and view tree, one view a line, indented by depth.
std::string toText(const InspectionSnapshot& inspection);

}  // namespace settings
