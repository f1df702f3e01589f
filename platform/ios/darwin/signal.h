#pragma once
#include "_darwin.h"

// The part of Darwin's <signal.h> that starting programs needs: a 32-bit set,
// one bit per signal, filled the way the arm headers' macros fill it.
typedef unsigned int sigset_t;

#define SIGPIPE 13

static inline int sigemptyset(sigset_t* set) { return *set = 0, 0; }
static inline int sigaddset(sigset_t* set, int signal) { return *set |= 1u << (signal - 1), 0; }
