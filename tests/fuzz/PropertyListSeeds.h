#pragma once

#include <string>
#include <vector>

namespace fuzzseeds {

/// Property lists of every form the readers meet, made by our own code:
/// XML, binary, UTF-16 XML, deeply nested, cyclic, with NULs and extreme values.
std::vector<std::string> propertyLists();

}  // namespace fuzzseeds
