// Each use of a notify table's mapping, with the table's file cut short right
// after its size was checked (or right after it was mapped), as a hostile
// process of the device may do at any moment. The cut is made from inside the
// registry's own calls to fstat and mmap, which this binary stands in for, so
// that it lands in the window every time.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/corefoundation/NotifyRegistry.h"
#include "tests/support/TemporaryDevice.h"

namespace {

std::atomic<int> cutsLeft{0};
std::string cutDirectory;

// Cuts the file behind the descriptor to nothing if it is one of the registry's tables.
[[maybe_unused]] void cutIfTable(int descriptor) {
  std::error_code error;
  std::filesystem::path file = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(descriptor), error);
  if (error || file.parent_path() != cutDirectory || file.filename() == ".generation") return;
  if (::ftruncate(descriptor, 0) == 0) --cutsLeft;
}

template <class Function>
Function* next(const char* name) {
  return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

// Under the thread sanitizer a fault inside its own atomics cannot be
// recovered from, so there the guard is not tried; and its start-up maps
// memory through these before it could follow them.
#if !defined(__SANITIZE_THREAD__)
extern "C" int fstat(int descriptor, struct stat* info) noexcept {
  static auto* real = next<int(int, struct stat*)>("fstat");
  int result = real(descriptor, info);
  if (result == 0 && cutsLeft.load() != 0) cutIfTable(descriptor);
  return result;
}

extern "C" void* mmap(void* address, size_t length, int protection, int flags, int descriptor,
                      off_t offset) noexcept {
  static auto* real = next<void*(void*, size_t, int, int, int, off_t)>("mmap");
  void* memory = real(address, length, protection, flags, descriptor, offset);
  if (memory != MAP_FAILED && descriptor >= 0 && cutsLeft.load() != 0) cutIfTable(descriptor);
  return memory;
}
#endif

namespace {

const std::uint64_t kKey = notify::keyOf("guarded");

class NotifyRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = notify::registryDirectory();
    std::filesystem::create_directories(directory_);
    // Descriptors name their files by the path with every link resolved.
    cutDirectory = std::filesystem::canonical(directory_);
  }

  // Runs `use` in a child with one cut armed; "damage reported" when it ended
  // well with the cut made, otherwise what became of it.
  std::string outcome(const std::function<void()>& prepare, const std::function<bool()>& use) {
    pid_t child = ::fork();
    if (child == 0) {
      prepare();
      cutsLeft = 1;
      bool reported = use();
      ::_exit(cutsLeft != 0 ? 3 : reported ? 0 : 4);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return "not run";
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    switch (WEXITSTATUS(status)) {
      case 0: return "damage reported";
      case 3: return "the path never checked or mapped the table";
      case 4: return "the cut went unnoticed";
      default: return "exit status " + std::to_string(WEXITSTATUS(status));
    }
  }

  std::unique_ptr<notify::Endpoint> endpoint() {
    auto made = notify::Endpoint::create(directory_, token_);
    if (!made || !made->watch(kKey)) ::_exit(5);
    return made;
  }

  // Whether a post rang the entry's doorbell.
  static bool rung(int doorbell) {
    char byte;
    bool any = ::recv(doorbell, &byte, 1, MSG_DONTWAIT) >= 0;
    notify::drainDoorbell(doorbell);
    return any;
  }

  std::string directory_;
  const std::string token_ = "1-guarded";
  testsupport::TemporaryDevice device_;
};

TEST_F(NotifyRegistryTest, EachUseOfATableCutShortRightAfterItsCheckReportsDamage) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a fault inside the thread sanitizer's own atomics cannot be recovered from";
#endif
  std::unique_ptr<notify::Endpoint> entry;
  auto made = [&] { entry = endpoint(); };
  auto mappedAndMarked = [&] {
    made();
    entry->mark(kKey);
  };
  EXPECT_EQ(outcome([] {}, [&] { return notify::Endpoint::create(directory_, token_) == nullptr; }),
            "damage reported")
      << "create";
  EXPECT_EQ(outcome(made, [&] { return !entry->watch(notify::keyOf("other")); }), "damage reported") << "watch";
  EXPECT_EQ(outcome(made,
                    [&] {
                      entry->unwatch(kKey);
                      return entry->condition({}) == notify::Endpoint::Condition::Damaged;
                    }),
            "damage reported")
      << "unwatch";
  EXPECT_EQ(outcome(made,
                    [&] {
                      entry->mark(kKey);
                      return entry->condition({}) == notify::Endpoint::Condition::Damaged;
                    }),
            "damage reported")
      << "mark";
  EXPECT_EQ(outcome(mappedAndMarked, [&] { return entry->takePending().empty(); }), "damage reported")
      << "takePending";
  EXPECT_EQ(outcome(made, [&] { return entry->condition({kKey}) == notify::Endpoint::Condition::Damaged; }),
            "damage reported")
      << "condition";

  // A poster meeting the entry for the first time maps it; a poster that knew it marks it.
  int doorbell = notify::bindDoorbell(token_);
  ASSERT_GE(doorbell, 0);
  EXPECT_EQ(outcome(made,
                    [&] {
                      notify::post(kKey);
                      return !rung(doorbell);
                    }),
            "damage reported")
      << "a poster mapping the entry";
  EXPECT_EQ(outcome(
                [&] {
                  made();
                  notify::post(kKey);
                  if (!rung(doorbell)) ::_exit(6);
                },
                [&] {
                  notify::post(kKey);
                  return !rung(doorbell);
                }),
            "damage reported")
      << "a poster marking the entry";
  ::close(doorbell);
}

}  // namespace
