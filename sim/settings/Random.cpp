#include "sim/settings/Random.h"

#include <dlfcn.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <random>

namespace settings {
namespace {

std::mutex& randomMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::optional<std::mt19937_64>& seeded() {
  static std::optional<std::mt19937_64> generator;
  return generator;
}

}  // namespace

void seedRandom(std::uint64_t seed) {
  std::lock_guard lock(randomMutex());
  seeded().emplace(seed);
}

}  // namespace settings

// Stands before the C library's, which the settings bundle would call
// otherwise (this executable exports it).
extern "C" std::uint32_t arc4random_uniform(std::uint32_t upperBound) noexcept {
  {
    std::lock_guard lock(settings::randomMutex());
    if (auto& generator = settings::seeded()) {
      if (upperBound < 2) return 0;
      return std::uniform_int_distribution<std::uint32_t>(0, upperBound - 1)(*generator);
    }
  }
  using Function = std::uint32_t (*)(std::uint32_t);
  static auto next = reinterpret_cast<Function>(::dlsym(RTLD_NEXT, "arc4random_uniform"));
  if (next) return next(upperBound);
  static std::mt19937 fallback{std::random_device{}()};
  std::lock_guard lock(settings::randomMutex());
  return upperBound < 2 ? 0 : std::uniform_int_distribution<std::uint32_t>(0, upperBound - 1)(fallback);
}
