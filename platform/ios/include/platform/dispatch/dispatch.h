#pragma once

#include <functional>

typedef long dispatch_once_t;

extern "C" void dispatch_once_f(dispatch_once_t* predicate, void* context, void (*function)(void*));

/// Runs `block` once for the predicate; the stand-in's spelling, over dispatch_once_f.
inline void dispatch_once(dispatch_once_t* predicate, const std::function<void()>& block) {
  dispatch_once_f(predicate, const_cast<std::function<void()>*>(&block),
                  [](void* context) { (*static_cast<std::function<void()>*>(context))(); });
}
