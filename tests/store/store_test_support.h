#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "store/store.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm::test {

/// A store in a fresh temporary folder, reopened on request.
struct StoreFixture : ::testing::Test {
  TempDir dir;
  std::unique_ptr<Store> store;

  std::filesystem::path storePath() const { return dir / "QuillmereMac.store"; }

  void SetUp() override { reopen(); }

  void reopen() {
    store.reset();
    auto opened = Store::open(storePath());
    ASSERT_OK(opened);
    store = std::move(opened).value();
  }
};

/// Matches a `Result` that holds a value matching `inner`.
MATCHER_P(HoldsValue, inner, "") {
  return arg.ok() && ::testing::ExplainMatchResult(inner, *arg, result_listener);
}

/// How many records of kind R the store holds (-1 when counting fails).
template <Record R>
std::int64_t countOf(Store& store) {
  auto n = store.count<R>();
  EXPECT_OK(n);
  return n.ok() ? *n : -1;
}

}  // namespace qm::test
