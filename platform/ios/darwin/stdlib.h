#pragma once
#include <stddef.h>
#include "_darwin.h"

#define EXIT_SUCCESS 0
#define EXIT_FAILURE 1
#define RAND_MAX 0x7fffffff

__DARWIN_BEGIN_DECLS
extern int __mb_cur_max;
#define MB_CUR_MAX __mb_cur_max

typedef struct { int quot; int rem; } div_t;
typedef struct { long quot; long rem; } ldiv_t;
typedef struct { long long quot; long long rem; } lldiv_t;

void* malloc(size_t size);
void* calloc(size_t count, size_t size);
void* realloc(void* memory, size_t size);
void free(void* memory);
int posix_memalign(void** memory, size_t alignment, size_t size) __DARWIN_AVAILABLE_IOS(3.0);
__attribute__((noreturn)) void abort(void);
__attribute__((noreturn)) void exit(int status);
int atexit(void (*function)(void));
char* getenv(const char* name);
int abs(int value);
long labs(long value);
long long llabs(long long value);
div_t div(int numerator, int denominator);
ldiv_t ldiv(long numerator, long denominator);
lldiv_t lldiv(long long numerator, long long denominator);
long strtol(const char* text, char** end, int base);
long long strtoll(const char* text, char** end, int base);
unsigned long strtoul(const char* text, char** end, int base);
unsigned long long strtoull(const char* text, char** end, int base);
float strtof(const char* text, char** end);
double strtod(const char* text, char** end);
long double strtold(const char* text, char** end);
unsigned int arc4random(void);
unsigned int arc4random_uniform(unsigned int upperBound) __DARWIN_AVAILABLE_IOS(4.3);
int system(const char* command) __attribute__((unavailable("not available on iOS")));
__DARWIN_END_DECLS
