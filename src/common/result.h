#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace qm {

/// A failure as a value: the text is what the user (or the log) sees.
struct Error {
  std::string message;

  Error() = default;
  explicit Error(std::string text) : message(std::move(text)) {}
};

/// Either a value or an `Error`. Expected failures (bad input, I/O, store
/// errors) travel as this type; assertions are for bugs only.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}      // NOLINT(google-explicit-constructor)
  Result(Error error) : state_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }

  T& value() & {
    assert(ok());
    return std::get<T>(state_);
  }
  const T& value() const& {
    assert(ok());
    return std::get<T>(state_);
  }
  T&& value() && {
    assert(ok());
    return std::get<T>(std::move(state_));
  }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  const Error& error() const {
    assert(!ok());
    return std::get<Error>(state_);
  }

 private:
  std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)), failed_(true) {}  // NOLINT

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const Error& error() const {
    assert(failed_);
    return error_;
  }

 private:
  Error error_;
  bool failed_ = false;
};

using Status = Result<void>;

}  // namespace qm

#define QM_CONCAT_INNER_(a, b) a##b
#define QM_CONCAT_(a, b) QM_CONCAT_INNER_(a, b)

/// Returns the error of `expr` (a Result) from the enclosing function.
#define QM_TRY(expr) QM_TRY_IMPL_(QM_CONCAT_(qm_try_result_, __LINE__), expr)
#define QM_TRY_IMPL_(name, expr)         \
  do {                                   \
    auto name = (expr);                  \
    if (!name.ok()) return name.error(); \
  } while (0)
