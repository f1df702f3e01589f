#pragma once

#include <cstdint>

// The system's random numbers (arc4random_uniform) in the Settings app: drawn
// from a seed for pictures that come out the same every time, else random.
namespace settings {

void seedRandom(std::uint64_t seed);

}  // namespace settings
