#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "sim/settings/PageSnapshot.h"

namespace settings {

nlohmann::json toJson(const PageSnapshot& page);
nlohmann::json toJson(const ViewSnapshot& view);
nlohmann::json toJson(const InspectionSnapshot& inspection);

/// Indented JSON with a final newline. Texts on a page come from files (string
/// tables, theme file names, stored values): what is not UTF-8 is shown as
/// U+FFFD rather than failing the output.
std::string jsonText(const nlohmann::json& value);

}  // namespace settings
