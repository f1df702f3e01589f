// Checks the bundle's specifier lists at build time against the keys, defaults
// and notification the hook library reads; a row that disagrees fails the build.
//   check-property-lists STAMP LIST...

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "prefs/resources/ContractCheck.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: check-property-lists STAMP LIST...\n", stderr);
    return 2;
  }
  std::vector<contractcheck::SpecifierList> lists;
  bool ok = true;
  for (int index = 2; index < argc; ++index) {
    std::ifstream file(argv[index], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "%s: cannot be read\n", argv[index]);
      ok = false;
      continue;
    }
    lists.push_back({argv[index], std::string(std::istreambuf_iterator<char>(file), {})});
  }
  for (const std::string& problem : contractcheck::problems(lists)) {
    std::fprintf(stderr, "error: %s\n", problem.c_str());
    ok = false;
  }
  if (!ok) return 1;
  std::ofstream(argv[1]) << "checked\n";
  return 0;
}
