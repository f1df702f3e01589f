#pragma once

#include <atomic>

namespace orvane {

/// Atomic loads and stores on a plain variable, over the compiler's builtins:
/// std::atomic_ref where the standard library has none (libc++ 14).
template <class T>
class AtomicRef {
 public:
  explicit AtomicRef(T& object) : object_(&object) {}

  T load(std::memory_order order = std::memory_order_seq_cst) const {
    switch (order) {
      case std::memory_order_relaxed: return __atomic_load_n(object_, __ATOMIC_RELAXED);
      case std::memory_order_consume:
      case std::memory_order_acquire: return __atomic_load_n(object_, __ATOMIC_ACQUIRE);
      default: return __atomic_load_n(object_, __ATOMIC_SEQ_CST);
    }
  }

  void store(T value, std::memory_order order = std::memory_order_seq_cst) const {
    switch (order) {
      case std::memory_order_relaxed: __atomic_store_n(object_, value, __ATOMIC_RELAXED); break;
      case std::memory_order_release: __atomic_store_n(object_, value, __ATOMIC_RELEASE); break;
      default: __atomic_store_n(object_, value, __ATOMIC_SEQ_CST); break;
    }
  }

 private:
  T* object_;
};

}  // namespace orvane
