#pragma once
#include "../_darwin.h"

// The status word as BSD lays it out: the signal in the low 7 bits, the exit code above.
#define WIFEXITED(status) (((status) & 0177) == 0)
#define WEXITSTATUS(status) (((status) >> 8) & 0xff)
#define WTERMSIG(status) ((status) & 0177)
#define WNOHANG 0x00000001

__DARWIN_BEGIN_DECLS
pid_t waitpid(pid_t child, int* status, int options);
__DARWIN_END_DECLS
