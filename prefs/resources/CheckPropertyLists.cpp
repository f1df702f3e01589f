// Checks the bundle's specifier lists at build time against the keys, defaults
// and notification the hook library reads; a row that disagrees fails the build.
//   check-property-lists STAMP LIST...

#include <cstdio>
#include <string>

#include "prefs/resources/CheckFiles.h"
#include "prefs/resources/ContractCheck.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: check-property-lists STAMP LIST...\n", stderr);
    return 2;
  }
  bool ok = true;
  std::vector<contractcheck::SpecifierList> lists;
  for (checkfiles::File& file : checkfiles::read(argc, argv, ok)) lists.push_back({file.path, std::move(file.bytes)});
  for (const std::string& problem : contractcheck::problems(lists)) {
    std::fprintf(stderr, "error: %s\n", problem.c_str());
    ok = false;
  }
  return checkfiles::finish(argv[1], ok);
}
