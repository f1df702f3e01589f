// Checks the bundle's string tables at build time: a table the platform cannot
// read would be dropped whole at run time, so it fails the build instead.
//   check-string-tables STAMP TABLE...

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/foundation/NSBundle.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: check-string-tables STAMP TABLE...\n", stderr);
    return 2;
  }
  bool ok = true;
  for (int index = 2; index < argc; ++index) {
    std::ifstream file(argv[index], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "%s: cannot be read\n", argv[index]);
      ok = false;
      continue;
    }
    std::string bytes(std::istreambuf_iterator<char>(file), {});
    foundation::StringsTableError error;
    if (!foundation::parseStringsTable(bytes, &error)) {
      std::fprintf(stderr, "%s:%zu: error: %s; the platform would drop this whole table\n", argv[index], error.line,
                   error.reason.c_str());
      ok = false;
    }
  }
  if (!ok) return 1;
  std::ofstream(argv[1]) << "checked\n";
  return 0;
}
