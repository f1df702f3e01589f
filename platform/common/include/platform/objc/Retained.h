#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "platform/objc/runtime.h"

/// An owning reference to an object: retains on copy, releases on destruction.
/// Ownership comes in and goes out only through named calls: `adopt` takes a
/// +1 reference the caller owns, `retain` takes a new one; `leak` and
/// `autorelease` give it up. Raw pointers are reached with get().
template <class T>
class Retained {
 public:
  Retained() = default;
  Retained(std::nullptr_t) {}
  /// Adopts a reference the caller already owns (a +1 result).
  [[nodiscard]] static Retained adopt(T* object) {
    Retained reference;
    reference.object_ = object;
    return reference;
  }
  /// Takes a new reference to an object owned elsewhere.
  [[nodiscard]] static Retained retain(T* object) {
    if (object) objc_retain(object);
    return adopt(object);
  }
  Retained(const Retained& other) : object_(other.object_) {
    if (object_) objc_retain(object_);
  }
  Retained(Retained&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Retained(Retained<U>&& other) noexcept : object_(other.leak()) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Retained(const Retained<U>& other) : object_(other.get()) {
    if (object_) objc_retain(object_);
  }
  Retained& operator=(Retained other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Retained() {
    if (object_) objc_release(object_);
  }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }
  friend bool operator==(const Retained& reference, std::nullptr_t) { return reference.object_ == nullptr; }
  template <class U>
  friend bool operator==(const Retained& reference, const Retained<U>& other) {
    return reference.object_ == other.get();
  }

  /// Hands the reference to the autorelease pool, for a method result that
  /// the caller does not own.
  T* autorelease() {
    T* object = leak();
    objc_autorelease(object);
    return object;
  }
  /// Gives up ownership without releasing: the +1 reference now belongs to
  /// whoever takes the pointer (a +1 result, an owning instance variable, or
  /// an object kept for the life of the process).
  [[nodiscard]] T* leak() { return std::exchange(object_, nullptr); }

 private:
  T* object_ = nullptr;
};

namespace objc {

/// Retained<T>::retain with T deduced: a new reference to an object owned elsewhere.
template <class T>
[[nodiscard]] Retained<T> retain(T* object) {
  return Retained<T>::retain(object);
}

/// Retained<T>::adopt with T deduced: takes over a +1 reference the caller owns.
template <class T>
[[nodiscard]] Retained<T> adopt(T* object) {
  return Retained<T>::adopt(object);
}

/// The reference handed over as one to T, `cast` being its object seen as a T
/// (or nil, which leaves the reference where it was).
template <class T, class U>
Retained<T> handOver(Retained<U>&& from, T* cast) {
  if (!cast) return nullptr;
  (void)from.leak();
  return Retained<T>::adopt(cast);
}

}  // namespace objc
