#pragma once

#include <functional>
#include <memory>

#include "platform/objc/BlockLayout.h"

namespace uikit {

/// A C++ function that runs `block`, holding a copy of it for as long as the
/// function (or a copy of it) lives, as UIKit keeps a completion block until
/// it has run. Empty for a nil block.
template <class R, class... Args>
std::function<R(Args...)> functionOfBlock(const BlockLiteral* block) {
  if (!block) return nullptr;
  std::shared_ptr<const BlockLiteral> kept(static_cast<const BlockLiteral*>(_Block_copy(block)),
                                           [](const BlockLiteral* copy) { _Block_release(copy); });
  return [kept](Args... arguments) -> R { return objc::callBlock<R>(kept.get(), arguments...); };
}

}  // namespace uikit
