#pragma once

#include <type_traits>
#include <utility>

#include "platform/objc/runtime.h"

/// An owning reference to an object: retains on copy, releases on destruction.
template <class T>
class Retained {
 public:
  Retained() = default;
  Retained(std::nullptr_t) {}
  /// Takes a new reference, as a strong variable does when assigned.
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Retained(U* object) : object_(object) {
    if (object_) objc_retain(object_);
  }
  /// Adopts a reference the caller already owns (a +1 result).
  static Retained adopt(T* object) {
    Retained reference;
    reference.object_ = object;
    return reference;
  }
  /// Takes a new reference to an object owned elsewhere.
  static Retained retain(T* object) {
    if (object) objc_retain(object);
    return adopt(object);
  }
  Retained(const Retained& other) : object_(other.object_) {
    if (object_) objc_retain(object_);
  }
  Retained(Retained&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <class U>
  Retained(Retained<U>&& other) noexcept : object_(other.release()) {}
  template <class U>
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
  operator T*() const { return object_; }
  /// Hands the reference to the autorelease pool, for a method result.
  T* autorelease() {
    T* object = release();
    objc_autorelease(object);
    return object;
  }
  /// Gives up ownership without releasing.
  T* release() { return std::exchange(object_, nullptr); }

 private:
  T* object_ = nullptr;
};
