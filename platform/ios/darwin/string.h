#pragma once
#include <stddef.h>
#include "_darwin.h"

__DARWIN_BEGIN_DECLS
void* memchr(const void* bytes, int value, size_t count);
int memcmp(const void* left, const void* right, size_t count);
void* memcpy(void* destination, const void* source, size_t count);
void* memmove(void* destination, const void* source, size_t count);
void* memset(void* destination, int value, size_t count);
size_t strlen(const char* text);
int strcmp(const char* left, const char* right);
int strncmp(const char* left, const char* right, size_t count);
char* strchr(const char* text, int character);
char* strrchr(const char* text, int character);
char* strpbrk(const char* text, const char* set);
char* strstr(const char* text, const char* part);
char* strerror(int number);
__DARWIN_END_DECLS
