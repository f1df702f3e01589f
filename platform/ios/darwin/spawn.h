#pragma once
#include "_darwin.h"
#include "signal.h"

typedef void* posix_spawnattr_t;
typedef void* posix_spawn_file_actions_t;

#define POSIX_SPAWN_SETSIGDEF 0x0004
#define POSIX_SPAWN_SETSIGMASK 0x0008

__DARWIN_BEGIN_DECLS
int posix_spawn(pid_t* child, const char* path, const posix_spawn_file_actions_t* actions,
                const posix_spawnattr_t* attributes, char* const arguments[], char* const environment[]);
int posix_spawnp(pid_t* child, const char* file, const posix_spawn_file_actions_t* actions,
                 const posix_spawnattr_t* attributes, char* const arguments[], char* const environment[]);
int posix_spawnattr_init(posix_spawnattr_t* attributes);
int posix_spawnattr_destroy(posix_spawnattr_t* attributes);
int posix_spawnattr_setflags(posix_spawnattr_t* attributes, short flags);
int posix_spawnattr_setsigmask(posix_spawnattr_t* attributes, const sigset_t* mask);
int posix_spawnattr_setsigdefault(posix_spawnattr_t* attributes, const sigset_t* defaults);
int posix_spawn_file_actions_addopen(posix_spawn_file_actions_t* actions, int descriptor, const char* path, int flags,
                                     mode_t mode);
int posix_spawn_file_actions_init(posix_spawn_file_actions_t* actions);
int posix_spawn_file_actions_destroy(posix_spawn_file_actions_t* actions);
int posix_spawn_file_actions_adddup2(posix_spawn_file_actions_t* actions, int descriptor, int target);
int posix_spawn_file_actions_addclose(posix_spawn_file_actions_t* actions, int descriptor);
__DARWIN_END_DECLS
