#pragma once

#include <functional>

typedef long dispatch_once_t;

/// Runs `block` once for the predicate, which starts at zero; a caller that
/// comes while another runs it waits until it has finished.
void dispatch_once(dispatch_once_t* predicate, const std::function<void()>& block);
