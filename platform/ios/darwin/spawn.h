#pragma once
#include "_darwin.h"

typedef void* posix_spawnattr_t;
typedef void* posix_spawn_file_actions_t;

__DARWIN_BEGIN_DECLS
int posix_spawn(pid_t* child, const char* path, const posix_spawn_file_actions_t* actions,
                const posix_spawnattr_t* attributes, char* const arguments[], char* const environment[]);
int posix_spawn_file_actions_init(posix_spawn_file_actions_t* actions);
int posix_spawn_file_actions_destroy(posix_spawn_file_actions_t* actions);
int posix_spawn_file_actions_adddup2(posix_spawn_file_actions_t* actions, int descriptor, int target);
int posix_spawn_file_actions_addclose(posix_spawn_file_actions_t* actions, int descriptor);
__DARWIN_END_DECLS
