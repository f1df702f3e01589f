#pragma once
#include <stdarg.h>
#include <stddef.h>
#include "_darwin.h"

#define EOF (-1)
#define BUFSIZ 1024
#define FOPEN_MAX 20
#define FILENAME_MAX 1024
#define SEEK_SET 0
#define SEEK_CUR 1
#define SEEK_END 2
#define _IOFBF 0
#define _IOLBF 1
#define _IONBF 2

typedef struct __sFILE FILE;
typedef off_t fpos_t;

__DARWIN_BEGIN_DECLS
extern FILE* __stdinp;
extern FILE* __stdoutp;
extern FILE* __stderrp;
#define stdin __stdinp
#define stdout __stdoutp
#define stderr __stderrp

int snprintf(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int vsnprintf(char* buffer, size_t size, const char* format, va_list arguments) __attribute__((format(printf, 3, 0)));
int fprintf(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
int fputs(const char* text, FILE* stream);
size_t fwrite(const void* bytes, size_t size, size_t count, FILE* stream);
int fflush(FILE* stream);
int remove(const char* path);
int rename(const char* from, const char* to);
__DARWIN_END_DECLS
