#pragma once
// Types of Darwin's C library shared by the headers of this folder (arm64 and armv7 iOS).

#define __DARWIN_NULL ((void*)0)

#ifdef __cplusplus
#define __DARWIN_BEGIN_DECLS extern "C" {
#define __DARWIN_END_DECLS }
#else
#define __DARWIN_BEGIN_DECLS
#define __DARWIN_END_DECLS
#endif

#define __DARWIN_AVAILABLE_IOS(version) __attribute__((availability(ios, introduced = version)))

typedef __SIZE_TYPE__ size_t;
typedef long ssize_t;
typedef __PTRDIFF_TYPE__ ptrdiff_t;
typedef long time_t;
typedef unsigned long clock_t;
typedef long long off_t;
typedef int pid_t;
typedef unsigned int uid_t;
typedef unsigned int gid_t;
typedef unsigned short mode_t;
typedef int dev_t;
typedef unsigned long long ino_t;
typedef int suseconds_t;
typedef unsigned int useconds_t;
typedef unsigned int mach_port_t;
typedef int wint_t;
typedef int ct_rune_t;
typedef int rune_t;
#ifdef __LP64__
typedef unsigned int wctype_t;
#else
typedef unsigned long wctype_t;
#endif
typedef int wctrans_t;

typedef union {
  char __mbstate8[128];
  long long _mbstateL;
} __mbstate_t;
typedef __mbstate_t mbstate_t;

typedef struct _xlocale* locale_t;

struct timespec {
  time_t tv_sec;
  long tv_nsec;
};
