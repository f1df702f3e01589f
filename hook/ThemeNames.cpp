#include "hook/ThemeNames.h"

#include <atomic>
#include <map>
#include <string>

namespace orvane {
namespace {

// A spin lock over the compiler's builtins: the device's libc++ exports no
// mutex to iOS 7, and a reload holds the lock for one lookup.
class SpinLock {
 public:
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) {
    }
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_;  // clear from the start since C++20
};

SpinLock tableLock;
std::map<std::string, NSString*, std::less<>>* table;

}  // namespace

NSString* keptThemeName(std::string_view text) {
  tableLock.lock();
  if (!table) table = new std::map<std::string, NSString*, std::less<>>;
  auto found = table->find(text);
  NSString* kept = found != table->end() ? found->second : nullptr;
  if (!kept && table->size() < maximumKeptThemeNames) {
    kept = NSString::stringWithUTF8String(text).leak();
    if (kept) table->emplace(std::string(text), kept);
  }
  tableLock.unlock();
  return kept;
}

}  // namespace orvane
