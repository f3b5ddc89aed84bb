#pragma once

#include <cassert>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace qm {

/// What kind of failure an `Error` is, so callers choose a reaction (an exit
/// code, a protocol error code, a retry) without reading its text.
enum class ErrorCode {
  unknown,             ///< not classified
  invalidArgument,     ///< the input is malformed or out of range
  notFound,            ///< what was asked for does not exist
  alreadyExists,       ///< it exists and may not be made again
  failedPrecondition,  ///< not possible in the current state
  permissionDenied,    ///< the file system or a peer refused access
  unavailable,         ///< a service (the companion, a peer, a server) does not answer
  cancelled,           ///< stopped on request
  deadlineExceeded,    ///< took too long
  dataLoss,            ///< stored data is unreadable or damaged
  internal,            ///< a library or the system failed
};

/// The code's name, as logs and JSON answers show it.
std::string_view errorCodeName(ErrorCode code);

/// A failure as a value: the code says what kind, the text is what the user
/// (or the log) sees.
struct Error {
  ErrorCode code = ErrorCode::unknown;
  std::string message;

  Error() = default;
  explicit Error(std::string text) : message(std::move(text)) {}
  Error(ErrorCode errorCode, std::string text) : code(errorCode), message(std::move(text)) {}
};

/// Either a value or an `Error`. Expected failures (bad input, I/O, store
/// errors) travel as this type; assertions are for bugs only.
template <class T>
class [[nodiscard]] Result {
 public:
  using ValueType = T;

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
  Error&& takeError() && {
    assert(!ok());
    return std::get<Error>(std::move(state_));
  }

 private:
  std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  using ValueType = void;

  Result() = default;
  Result(Error error) : error_(std::move(error)), failed_(true) {}  // NOLINT

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const Error& error() const {
    assert(failed_);
    return error_;
  }
  Error&& takeError() && {
    assert(failed_);
    return std::move(error_);
  }
  void value() const { assert(ok()); }

 private:
  Error error_;
  bool failed_ = false;
};

using Status = Result<void>;

}  // namespace qm

#define QM_CONCAT_INNER_(a, b) a##b
#define QM_CONCAT_(a, b) QM_CONCAT_INNER_(a, b)

/// Evaluates `expr` (a Result): on failure returns its error from the
/// enclosing function, otherwise yields its value, so both
/// `QM_TRY(save());` and `auto store = QM_TRY(Store::open(path));` work.
/// (A statement expression, as GCC and Clang offer; `__extension__` keeps
/// -Wpedantic quiet about it.)
#define QM_TRY(expr) QM_TRY_IMPL_(QM_CONCAT_(qm_try_result_, __LINE__), expr)
#define QM_TRY_IMPL_(name, expr)                        \
  __extension__({                                       \
    auto name = (expr);                                 \
    if (!name.ok()) return std::move(name).takeError(); \
    std::move(name).value();                            \
  })
