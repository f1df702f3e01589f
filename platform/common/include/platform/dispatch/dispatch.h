#pragma once

#include <functional>

typedef long dispatch_once_t;

/// Runs `function(context)` once for the predicate, which starts at zero; a
/// caller that comes while another runs it waits until it has finished.
extern "C" void dispatch_once_f(dispatch_once_t* predicate, void* context, void (*function)(void*));

/// dispatch_once with a C++ callable for the block.
inline void dispatch_once(dispatch_once_t* predicate, const std::function<void()>& block) {
  dispatch_once_f(predicate, const_cast<std::function<void()>*>(&block),
                  [](void* context) { (*static_cast<std::function<void()>*>(context))(); });
}
