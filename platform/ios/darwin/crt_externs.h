#pragma once
#include "_darwin.h"

__DARWIN_BEGIN_DECLS
char*** _NSGetEnviron(void);
__DARWIN_END_DECLS
