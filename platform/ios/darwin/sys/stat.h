#pragma once
#include "../_darwin.h"

#define S_IFMT 0170000
#define S_IFDIR 0040000
#define S_IFREG 0100000
#define S_IFLNK 0120000
#define S_ISDIR(mode) (((mode) & S_IFMT) == S_IFDIR)
#define S_ISREG(mode) (((mode) & S_IFMT) == S_IFREG)
#define S_ISLNK(mode) (((mode) & S_IFMT) == S_IFLNK)

typedef unsigned short nlink_t;
typedef long long blkcnt_t;
typedef int blksize_t;

// iOS has only the 64-bit-inode layout, under the plain names.
struct stat {
  dev_t st_dev;
  mode_t st_mode;
  nlink_t st_nlink;
  ino_t st_ino;
  uid_t st_uid;
  gid_t st_gid;
  dev_t st_rdev;
  struct timespec st_atimespec;
  struct timespec st_mtimespec;
  struct timespec st_ctimespec;
  struct timespec st_birthtimespec;
  off_t st_size;
  blkcnt_t st_blocks;
  blksize_t st_blksize;
  unsigned int st_flags;
  unsigned int st_gen;
  int st_lspare;
  long long st_qspare[2];
};

__DARWIN_BEGIN_DECLS
int fstat(int descriptor, struct stat* information);
int stat(const char* path, struct stat* information);
int lstat(const char* path, struct stat* information);
__DARWIN_END_DECLS
