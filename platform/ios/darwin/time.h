#pragma once
#include <stddef.h>
#include "_darwin.h"

#define CLOCKS_PER_SEC ((clock_t)1000000)

struct tm {
  int tm_sec;
  int tm_min;
  int tm_hour;
  int tm_mday;
  int tm_mon;
  int tm_year;
  int tm_wday;
  int tm_yday;
  int tm_isdst;
  long tm_gmtoff;
  char* tm_zone;
};

// Only from iOS 10 on: declared so that a use is caught at compile time for older minimums.
typedef enum {
  _CLOCK_REALTIME = 0,
  _CLOCK_MONOTONIC = 6,
  _CLOCK_MONOTONIC_RAW = 4,
  _CLOCK_MONOTONIC_RAW_APPROX = 5,
  _CLOCK_UPTIME_RAW = 8,
  _CLOCK_UPTIME_RAW_APPROX = 9,
  _CLOCK_PROCESS_CPUTIME_ID = 12,
  _CLOCK_THREAD_CPUTIME_ID = 16,
} clockid_t;
#define CLOCK_REALTIME _CLOCK_REALTIME
#define CLOCK_MONOTONIC _CLOCK_MONOTONIC

__DARWIN_BEGIN_DECLS
clock_t clock(void);
time_t time(time_t* now);
double difftime(time_t end, time_t start);
time_t mktime(struct tm* time);
struct tm* gmtime_r(const time_t* clock, struct tm* result);
struct tm* localtime_r(const time_t* clock, struct tm* result);
size_t strftime(char* buffer, size_t size, const char* format, const struct tm* time);
int nanosleep(const struct timespec* duration, struct timespec* remaining);
int clock_gettime(clockid_t clock, struct timespec* time) __DARWIN_AVAILABLE_IOS(10.0);
__DARWIN_END_DECLS
