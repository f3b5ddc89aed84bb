#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "common/result.h"

namespace qm {

/// Shows a `Result` or `Status` in test failures: "OK" or the error's code
/// and message.
template <class T>
void PrintTo(const Result<T>& result, std::ostream* os) {
  if (result.ok()) {
    *os << "OK";
  } else {
    *os << "error " << errorCodeName(result.error().code) << ": \"" << result.error().message
        << "\"";
  }
}

}  // namespace qm

namespace qm::test {

namespace detail {

class IsOkMatcher {
 public:
  template <class R>
  bool MatchAndExplain(const R& result, ::testing::MatchResultListener* listener) const {
    if (result.ok()) return true;
    *listener << "which failed: " << result.error().message;
    return false;
  }
  void DescribeTo(std::ostream* os) const { *os << "succeeds"; }
  void DescribeNegationTo(std::ostream* os) const { *os << "fails"; }
};

class IsErrorMatcher {
 public:
  IsErrorMatcher(std::optional<ErrorCode> code,
                 std::optional<::testing::Matcher<const std::string&>> text)
      : code_(code), text_(std::move(text)) {}

  template <class R>
  bool MatchAndExplain(const R& result, ::testing::MatchResultListener* listener) const {
    if (result.ok()) {
      *listener << "which succeeded";
      return false;
    }
    const Error& error = result.error();
    if (code_ && error.code != *code_) {
      *listener << "whose code is " << errorCodeName(error.code);
      return false;
    }
    if (text_ && !text_->Matches(error.message)) {
      *listener << "whose message does not match";
      return false;
    }
    return true;
  }
  void DescribeTo(std::ostream* os) const {
    *os << "fails";
    if (code_) *os << " with code " << errorCodeName(*code_);
    if (text_) {
      *os << (code_ ? " and" : " with") << " a message that ";
      text_->DescribeTo(os);
    }
  }
  void DescribeNegationTo(std::ostream* os) const {
    *os << "does not ";
    DescribeTo(os);
  }

 private:
  std::optional<ErrorCode> code_;
  std::optional<::testing::Matcher<const std::string&>> text_;
};

}  // namespace detail

/// Matches a `Result` or `Status` that holds a value; on a mismatch the
/// failure shows the error's message.
inline auto IsOk() {
  return ::testing::MakePolymorphicMatcher(detail::IsOkMatcher{});
}

/// Matches a failed `Result` or `Status` (any error).
inline auto IsError() {
  return ::testing::MakePolymorphicMatcher(detail::IsErrorMatcher(std::nullopt, std::nullopt));
}
/// Matches a failure with error code `code`.
inline auto IsError(ErrorCode code) {
  return ::testing::MakePolymorphicMatcher(detail::IsErrorMatcher(code, std::nullopt));
}
/// Matches a failure whose message matches `text` (a string or a matcher such
/// as `HasSubstr`).
inline auto IsError(::testing::Matcher<const std::string&> text) {
  return ::testing::MakePolymorphicMatcher(detail::IsErrorMatcher(std::nullopt, std::move(text)));
}
/// Matches a failure with error code `code` and a message matching `text`.
inline auto IsError(ErrorCode code, ::testing::Matcher<const std::string&> text) {
  return ::testing::MakePolymorphicMatcher(detail::IsErrorMatcher(code, std::move(text)));
}

}  // namespace qm::test

/// Fails the test (ASSERT) or the check (EXPECT) when `expr`, a `Result` or
/// `Status`, holds an error, printing the error's message.
#define ASSERT_OK(expr) ASSERT_THAT((expr), ::qm::test::IsOk())
#define EXPECT_OK(expr) EXPECT_THAT((expr), ::qm::test::IsOk())
