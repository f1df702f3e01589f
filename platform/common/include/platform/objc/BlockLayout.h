#pragma once

// Blocks laid out by hand, for the compiler without them: the simulated
// device's. A compiler with blocks (the device's) needs none of this.
#if !__BLOCKS__

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

// Blocks as the platform's compilers lay them out, made by hand where the
// compiler has none: a block is a small object whose invoke function takes
// the block itself first.

struct BlockDescriptor {
  unsigned long reserved;
  unsigned long size;
  void (*copy)(void* destination, const void* source);
  void (*dispose)(const void* block);
};

struct BlockLiteral {
  void* isa;
  int flags;
  int reserved;
  void (*invoke)(void);
  const BlockDescriptor* descriptor;
};

enum : int {
  BLOCK_REFCOUNT_MASK = 0xfffe,
  BLOCK_NEEDS_FREE = 1 << 24,
  BLOCK_HAS_COPY_DISPOSE = 1 << 25,
};

extern "C" {
/// A heap block gains a reference; the block itself comes back.
void* _Block_copy(const void* block);
/// A heap block loses a reference, and is disposed of with the last.
void _Block_release(const void* block);
}

namespace objc {

/// A heap block that runs a C++ function, for the compiler without blocks.
template <class Signature>
struct FunctionBlock;

template <class R, class... Args>
struct FunctionBlock<R(Args...)> {
  BlockLiteral literal;
  std::function<R(Args...)> function;

  static R invoke(FunctionBlock* self, Args... arguments) { return self->function(arguments...); }
  static void dispose(const void* block) {
    static_cast<FunctionBlock*>(const_cast<void*>(block))->function.~function();
  }
  static constexpr BlockDescriptor descriptor{0, sizeof(BlockLiteral) + sizeof(std::function<R(Args...)>), nullptr,
                                              &dispose};

  /// A new heap block with one reference, to be given up with _Block_release.
  static BlockLiteral* make(std::function<R(Args...)> function) {
    void* storage = std::malloc(sizeof(FunctionBlock));
    if (!storage) throw std::bad_alloc();
    auto* block = static_cast<FunctionBlock*>(storage);
    block->literal = BlockLiteral{nullptr, BLOCK_NEEDS_FREE | BLOCK_HAS_COPY_DISPOSE | 2, 0,
                                  reinterpret_cast<void (*)(void)>(&invoke), &descriptor};
    new (&block->function) std::function<R(Args...)>(std::move(function));
    return &block->literal;
  }
};

/// A heap block of a C++ function, held for a scope as a block literal
/// would be on the stack; a callee keeps it with _Block_copy. Null for an empty function.
template <class Signature>
class OwnedBlock;

template <class R, class... Args>
class OwnedBlock<R(Args...)> {
 public:
  explicit OwnedBlock(std::function<R(Args...)> function)
      : block_(function ? FunctionBlock<R(Args...)>::make(std::move(function)) : nullptr) {}
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;
  ~OwnedBlock() {
    if (block_) _Block_release(block_);
  }
  BlockLiteral* get() const { return block_; }

 private:
  BlockLiteral* block_;
};

/// Runs a block with the function type its invoke function has.
template <class R, class... Args>
R callBlock(const BlockLiteral* block, Args... arguments) {
  return reinterpret_cast<R (*)(const BlockLiteral*, Args...)>(block->invoke)(block, arguments...);
}

}  // namespace objc

#endif  // !__BLOCKS__
