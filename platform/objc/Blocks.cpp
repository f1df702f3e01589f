#include <atomic>
#include <cstdlib>

#include "platform/objc/BlockLayout.h"

namespace {
std::atomic_ref<int> flagsOf(const void* block) {
  return std::atomic_ref<int>(static_cast<BlockLiteral*>(const_cast<void*>(block))->flags);
}
}  // namespace

extern "C" void* _Block_copy(const void* block) {
  if (!block) return nullptr;
  // Only heap blocks are made here; a block of another kind would be copied to the heap.
  if (flagsOf(block).load(std::memory_order_relaxed) & BLOCK_NEEDS_FREE) flagsOf(block).fetch_add(2, std::memory_order_relaxed);
  return const_cast<void*>(block);
}

extern "C" void _Block_release(const void* block) {
  if (!block || !(flagsOf(block).load(std::memory_order_relaxed) & BLOCK_NEEDS_FREE)) return;
  int before = flagsOf(block).fetch_sub(2, std::memory_order_acq_rel);
  if ((before & BLOCK_REFCOUNT_MASK) != 2) return;
  const auto* literal = static_cast<const BlockLiteral*>(block);
  if ((before & BLOCK_HAS_COPY_DISPOSE) && literal->descriptor->dispose) literal->descriptor->dispose(block);
  std::free(const_cast<void*>(block));
}
