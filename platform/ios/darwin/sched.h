#pragma once
#include "_darwin.h"

#define SCHED_OTHER 1
#define SCHED_RR 2
#define SCHED_FIFO 4

struct sched_param {
  int sched_priority;
  char __opaque[4];
};

__DARWIN_BEGIN_DECLS
int sched_yield(void);
__DARWIN_END_DECLS
