#pragma once
#include <stddef.h>
#include <stdarg.h>
#include "_darwin.h"

#define WEOF ((wint_t)-1)
#ifndef WCHAR_MIN
#define WCHAR_MIN (-2147483647 - 1)
#define WCHAR_MAX 2147483647
#endif

typedef struct __sFILE FILE;
struct tm;

__DARWIN_BEGIN_DECLS
size_t wcslen(const wchar_t* text);
int wcscmp(const wchar_t* left, const wchar_t* right);
int wcsncmp(const wchar_t* left, const wchar_t* right, size_t count);
wchar_t* wcschr(const wchar_t* text, wchar_t character);
wchar_t* wcspbrk(const wchar_t* text, const wchar_t* set);
wchar_t* wcsrchr(const wchar_t* text, wchar_t character);
wchar_t* wcsstr(const wchar_t* text, const wchar_t* part);
wchar_t* wmemchr(const wchar_t* text, wchar_t character, size_t count);
int wmemcmp(const wchar_t* left, const wchar_t* right, size_t count);
wchar_t* wmemcpy(wchar_t* destination, const wchar_t* source, size_t count);
wchar_t* wmemmove(wchar_t* destination, const wchar_t* source, size_t count);
wchar_t* wmemset(wchar_t* destination, wchar_t character, size_t count);
size_t mbrtowc(wchar_t* destination, const char* source, size_t count, mbstate_t* state);
size_t wcrtomb(char* destination, wchar_t character, mbstate_t* state);
int mbsinit(const mbstate_t* state);
__DARWIN_END_DECLS
