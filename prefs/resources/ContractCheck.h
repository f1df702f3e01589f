#pragma once

#include <string>
#include <vector>

// The rows of the bundle's specifier lists against what the hook library
// reads: a row that stores a preference under another key, announces it under
// another name or shows another default would go unnoticed until a press
// played the wrong sound.
namespace contractcheck {

struct SpecifierList {
  /// Its file, named in what is said.
  std::string file;
  std::string bytes;
};

/// What is wrong with the lists taken together, one line each ("FILE: row 3 (isEnabled): ..."); empty when they
/// agree with the contract. Every key of the preferences file must be stored by some row.
std::vector<std::string> problems(const std::vector<SpecifierList>& lists);

}  // namespace contractcheck
