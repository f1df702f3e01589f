#pragma once

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

// The result of our own operations that can fail with a reason: a value, or an
// Error saying what went wrong, in the shape of C++23's std::expected (which
// GCC 12 lacks in C++20). Where we mirror a platform API, that API's own
// convention (nil, BOOL with an error out-value) stays at the boundary.

namespace orvane {

/// What went wrong, in words a person reads: the thing, and what to do.
class Error {
 public:
  explicit Error(std::string message, int code = 0) : message_(std::move(message)), code_(code) {}

  const std::string& message() const { return message_; }
  /// The system's error number behind it (errno), 0 when none.
  int code() const { return code_; }

 private:
  std::string message_;
  int code_;
};

/// Thrown by value() on a Result that holds an Error: a programming mistake.
/// Builds without exceptions (the device's) abort instead.
class BadResultAccess : public std::logic_error {
 public:
  explicit BadResultAccess(const Error& error) : std::logic_error("no value, but: " + error.message()) {}
};

[[noreturn]] inline void badResultAccess(const Error& error) {
#if defined(__cpp_exceptions)
  throw BadResultAccess(error);
#else
  (void)error;
  std::abort();
#endif
}

template <class T>
class [[nodiscard]] Result {
  static_assert(!std::is_reference_v<T> && !std::is_same_v<std::remove_cv_t<T>, Error>);

 public:
  using value_type = T;

  Result(const T& value) : hasValue_(true) { new (&value_) T(value); }
  Result(T&& value) : hasValue_(true) { new (&value_) T(std::move(value)); }
  Result(Error error) : hasValue_(false) { new (&error_) Error(std::move(error)); }
  Result(const Result& other) : hasValue_(other.hasValue_) {
    if (hasValue_) new (&value_) T(other.value_);
    else new (&error_) Error(other.error_);
  }
  Result(Result&& other) noexcept(std::is_nothrow_move_constructible_v<T>) : hasValue_(other.hasValue_) {
    if (hasValue_) new (&value_) T(std::move(other.value_));
    else new (&error_) Error(std::move(other.error_));
  }
  Result& operator=(Result other) {
    if (this != &other) {
      destroy();
      hasValue_ = other.hasValue_;
      if (hasValue_) new (&value_) T(std::move(other.value_));
      else new (&error_) Error(std::move(other.error_));
    }
    return *this;
  }
  ~Result() { destroy(); }

  bool has_value() const { return hasValue_; }
  explicit operator bool() const { return hasValue_; }

  T& value() & { return check(), value_; }
  const T& value() const& { return check(), value_; }
  T&& value() && { return check(), std::move(value_); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  template <class U>
  T value_or(U&& fallback) const& {
    return hasValue_ ? value_ : static_cast<T>(std::forward<U>(fallback));
  }

  /// The Error; only on a Result without a value.
  const Error& error() const {
    if (hasValue_) std::abort();
    return error_;
  }

 private:
  void check() const {
    if (!hasValue_) badResultAccess(error_);
  }
  void destroy() {
    if (hasValue_) value_.~T();
    else error_.~Error();
  }

  union {
    T value_;
    Error error_;
  };
  bool hasValue_;
};

/// Success with nothing to hand back, or an Error.
template <>
class [[nodiscard]] Result<void> {
 public:
  using value_type = void;

  Result() = default;
  Result(Error error) : error_(std::move(error)), hasValue_(false) {}

  bool has_value() const { return hasValue_; }
  explicit operator bool() const { return hasValue_; }
  void value() const {
    if (!hasValue_) badResultAccess(error_);
  }
  const Error& error() const {
    if (hasValue_) std::abort();
    return error_;
  }

 private:
  Error error_ {""};
  bool hasValue_ = true;
};

/// The success of a Result<void>: `return success();`.
inline Result<void> success() { return {}; }

}  // namespace orvane
