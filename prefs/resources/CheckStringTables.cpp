// Checks the bundle's string tables at build time: a table the platform cannot
// read would be dropped whole at run time, so it fails the build instead.
//   check-string-tables STAMP TABLE...

#include <cstdio>

#include "platform/foundation/NSBundle.h"
#include "prefs/resources/CheckFiles.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: check-string-tables STAMP TABLE...\n", stderr);
    return 2;
  }
  bool ok = true;
  for (const checkfiles::File& file : checkfiles::read(argc, argv, ok)) {
    foundation::StringsTableError error;
    if (!foundation::parseStringsTable(file.bytes, &error)) {
      std::fprintf(stderr, "%s:%zu: error: %s; the platform would drop this whole table\n", file.path.c_str(),
                   error.line, error.reason.c_str());
      ok = false;
    }
  }
  return checkfiles::finish(argv[1], ok);
}
