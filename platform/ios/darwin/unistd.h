#pragma once
#include <stddef.h>
#include "_darwin.h"

#define STDIN_FILENO 0
#define STDOUT_FILENO 1
#define STDERR_FILENO 2

__DARWIN_BEGIN_DECLS
int close(int descriptor);
ssize_t read(int descriptor, void* buffer, size_t size);
ssize_t write(int descriptor, const void* buffer, size_t size);
ssize_t pread(int descriptor, void* buffer, size_t size, off_t offset);
off_t lseek(int descriptor, off_t offset, int whence);
int unlink(const char* path);
pid_t getpid(void);
__DARWIN_END_DECLS
