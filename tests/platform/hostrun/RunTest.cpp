#include "platform/hostrun/Run.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>
#include <set>

namespace {

/// The descriptors this process has open.
std::set<int> openDescriptors() {
  std::set<int> open;
  DIR* listing = ::opendir("/proc/self/fd");
  while (dirent* entry = listing ? ::readdir(listing) : nullptr)
    if (entry->d_name[0] != '.') open.insert(std::atoi(entry->d_name));
  if (listing) {
    open.erase(::dirfd(listing));
    ::closedir(listing);
  }
  return open;
}

/// The descriptor limit that leaves exactly `spare` numbers free.
rlim_t limitSparing(const std::set<int>& open, int spare) {
  int limit = 0;
  for (int free = 0;; ++limit) {
    if (!open.count(limit) && free++ == spare) return static_cast<rlim_t>(limit);
  }
}

}  // namespace

TEST(Run, CapturesOutputAndErrorsAndSaysWhyItFailed) {
  auto ran = hostrun::run({"sh", "-c", "echo out; echo err >&2; exit 3"}, hostrun::ErrorStream::Captured);
  ASSERT_TRUE(ran) << ran.error().message();
  EXPECT_EQ(ran->status, 3);
  EXPECT_EQ(ran->output, "out\n");
  EXPECT_EQ(ran->errors, "err\n");

  // Errors larger than a pipe holds, written before the output, do not hold the program up.
  auto large = hostrun::run({"sh", "-c", "head -c 200000 /dev/zero >&2; echo done"}, hostrun::ErrorStream::Captured);
  ASSERT_TRUE(large);
  EXPECT_EQ(large->errors.size(), 200000u);
  EXPECT_EQ(large->output, "done\n");

  auto killed = hostrun::run({"sh", "-c", "kill -KILL $$"});
  ASSERT_FALSE(killed);
  EXPECT_NE(killed.error().message().find("ended by signal 9"), std::string::npos) << killed.error().message();
  auto missing = hostrun::run({"/nonexistent/program"}, hostrun::ErrorStream::Discarded);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code(), ENOENT);
}

// Under the address sanitizer's leak check this also shows that no file actions
// or attributes are left behind on any way out.
TEST(Run, AtEveryDescriptorLimitAFailedRunLeavesNothingOpen) {
  rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  std::set<int> before = openDescriptors();
  int failures = 0;
  for (int spare = 0; spare <= 4; ++spare) {
    rlimit tight = saved;
    tight.rlim_cur = limitSparing(before, spare);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    auto ran = hostrun::run({"true"}, spare % 2 ? hostrun::ErrorStream::Captured : hostrun::ErrorStream::Discarded);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    if (!ran) {
      ++failures;
      EXPECT_FALSE(ran.error().message().empty());
    }
    EXPECT_EQ(openDescriptors(), before) << "with " << spare << " descriptors to spare";
  }
  EXPECT_GT(failures, 0) << "the tightest limits must make the run fail";
  EXPECT_TRUE(hostrun::run({"true"})) << "and nothing is lost for the next one";
}
