#pragma once

// What every fuzz target defines. The same source builds two ways: as a
// libFuzzer binary (the fuzz build) and as a test that replays the seeds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

/// The target's seed inputs, made by our own code.
std::vector<std::string> fuzzSeeds();
