#pragma once

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// What the build's resource checks share: `check-… STAMP FILE...` reads each
// file, says which cannot be read, and writes the stamp only when all passed.
namespace checkfiles {

struct File {
  std::string path;
  std::string bytes;
};

/// The files after the stamp on the command line; one that cannot be read is said and clears `ok`.
inline std::vector<File> read(int argc, char** argv, bool& ok) {
  std::vector<File> files;
  for (int index = 2; index < argc; ++index) {
    std::ifstream file(argv[index], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "%s: cannot be read\n", argv[index]);
      ok = false;
      continue;
    }
    files.push_back({argv[index], std::string(std::istreambuf_iterator<char>(file), {})});
  }
  return files;
}

/// The exit status, the stamp written when every file passed.
inline int finish(const char* stamp, bool ok) {
  if (!ok) return 1;
  std::ofstream(stamp) << "checked\n";
  return 0;
}

}  // namespace checkfiles
