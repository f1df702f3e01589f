// In the fuzz build: run with ORVANE_FUZZ_SEEDS=DIR, a target writes its seed
// corpus into DIR and exits, so corpora are always made by our own code.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tests/fuzz/FuzzTarget.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* directory = std::getenv("ORVANE_FUZZ_SEEDS");
  if (!directory) return 0;
  size_t index = 0;
  for (const std::string& seed : fuzzSeeds()) {
    std::string path = std::string(directory) + "/seed-" + std::to_string(index++);
    std::ofstream(path, std::ios::binary).write(seed.data(), static_cast<std::streamsize>(seed.size()));
  }
  std::exit(0);
}
