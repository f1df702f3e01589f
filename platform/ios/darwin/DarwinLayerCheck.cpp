// Compiled for each iOS architecture: the declarations of this folder must
// have Darwin's sizes and C++ names, and libc++'s headers must build on them.
#include <crt_externs.h>
#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <wchar.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

static_assert(std::is_same_v<int64_t, long long> && std::is_same_v<uint64_t, unsigned long long>);
static_assert(std::is_signed_v<char>);
static_assert(sizeof(wchar_t) == 4 && std::is_signed_v<wchar_t>);
static_assert(sizeof(long double) == sizeof(double));
static_assert(sizeof(off_t) == 8 && sizeof(ino_t) == 8 && sizeof(mode_t) == 2 && sizeof(pid_t) == 4);
static_assert(sizeof(mbstate_t) == 128 && std::is_same_v<mbstate_t, __mbstate_t>);
static_assert(std::is_enum_v<clockid_t> && sizeof(clockid_t) == 4);
static_assert(std::is_same_v<decltype(pthread_mach_thread_np(nullptr)), mach_port_t>);
static_assert(std::is_same_v<pthread_mutex_t, _opaque_pthread_mutex_t>);
static_assert(std::is_same_v<fpos_t, off_t>);
static_assert(EAGAIN == 35 && ENOTSUP == 45 && EOPNOTSUPP == 102 && ELAST == 106 && EQFULL == 106);
static_assert(EILSEQ == 92 && ETIMEDOUT == 60 && ENOATTR == 93 && EOVERFLOW == 84);
static_assert(FP_NAN == 1 && FP_SUBNORMAL == 5 && MATH_ERREXCEPT == 2);
static_assert(sizeof(sigset_t) == 4 && SIGPIPE == 13 && POSIX_SPAWN_SETSIGDEF == 4 && POSIX_SPAWN_SETSIGMASK == 8);
static_assert(O_CREAT == 0x200 && O_EXCL == 0x800 && O_NOFOLLOW == 0x100 && O_CLOEXEC == 0x1000000);
static_assert(EOF == -1 && BUFSIZ == 1024 && FILENAME_MAX == 1024 && SEEK_END == 2);

#if __LP64__
static_assert(sizeof(long) == 8 && sizeof(void*) == 8 && sizeof(time_t) == 8 && sizeof(size_t) == 8);
static_assert(alignof(long long) == 8 && alignof(double) == 8 && alignof(mbstate_t) == 8);
static_assert(std::is_same_v<wctype_t, unsigned int>);
static_assert(sizeof(pthread_attr_t) == 64 && sizeof(pthread_mutex_t) == 64 && alignof(pthread_mutex_t) == 8);
static_assert(sizeof(pthread_mutexattr_t) == 16 && sizeof(pthread_cond_t) == 48 && sizeof(pthread_condattr_t) == 16);
static_assert(sizeof(pthread_once_t) == 16 && sizeof(pthread_rwlock_t) == 200 && sizeof(pthread_rwlockattr_t) == 24);
static_assert(sizeof(struct timespec) == 16 && sizeof(struct tm) == 56 && sizeof(struct stat) == 144);
static_assert(offsetof(struct stat, st_ino) == 8 && offsetof(struct stat, st_size) == 96);
#else
static_assert(sizeof(long) == 4 && sizeof(void*) == 4 && sizeof(time_t) == 4 && sizeof(size_t) == 4);
static_assert(alignof(long long) == 4 && alignof(double) == 4 && alignof(mbstate_t) == 4);
static_assert(std::is_same_v<wctype_t, unsigned long>);
static_assert(sizeof(pthread_attr_t) == 40 && sizeof(pthread_mutex_t) == 44 && alignof(pthread_mutex_t) == 4);
static_assert(sizeof(pthread_mutexattr_t) == 12 && sizeof(pthread_cond_t) == 28 && sizeof(pthread_condattr_t) == 8);
static_assert(sizeof(pthread_once_t) == 8 && sizeof(pthread_rwlock_t) == 128 && sizeof(pthread_rwlockattr_t) == 16);
static_assert(sizeof(struct timespec) == 8 && sizeof(struct tm) == 44 && sizeof(struct stat) == 108);
#endif

namespace {
constexpr pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
static_assert(mutex.__sig == 0x32AAABA7);
constexpr pthread_once_t once = PTHREAD_ONCE_INIT;
static_assert(once.__sig == 0x30B1BCBA);
}  // namespace

// The standard library the product uses, instantiated on these declarations.
std::string darwinLayerCheck(std::string_view text) {
  std::map<std::string, std::vector<int>> table;
  table[std::string(text)].push_back(static_cast<int>(std::floor(2.5)));
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) { return std::tolower(c); });
  return result + std::to_string(table.size());
}
