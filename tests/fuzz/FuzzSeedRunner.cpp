// Replays a target's seeds, and any files named on the command line (a crash
// found by the fuzz build, say), through the target in an ordinary build.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "tests/fuzz/FuzzTarget.h"

namespace {
int run(const std::string& input) {
  return LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}
}  // namespace

int main(int argc, char** argv) {
  size_t count = 0;
  if (argc > 1) {
    for (int index = 1; index < argc; ++index) {
      std::ifstream file(argv[index], std::ios::binary);
      if (!file) {
        std::fprintf(stderr, "%s: cannot be read\n", argv[index]);
        return 1;
      }
      run(std::string(std::istreambuf_iterator<char>(file), {}));
      ++count;
    }
  } else {
    for (const std::string& seed : fuzzSeeds()) {
#ifdef ORVANE_FUZZ_MAX_LEN
      // The fuzzer would cut a longer seed short.
      if (seed.size() > ORVANE_FUZZ_MAX_LEN) {
        std::fprintf(stderr, "seed %zu: %zu bytes, more than the target's MAX_LEN %d\n", count, seed.size(),
                     ORVANE_FUZZ_MAX_LEN);
        return 1;
      }
#endif
      run(seed);
      ++count;
    }
  }
  std::printf("%zu inputs replayed\n", count);
  return 0;
}
