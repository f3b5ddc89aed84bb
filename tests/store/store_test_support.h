#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "store/store.h"
#include "support/temp_dir.h"

namespace qm::test {

/// A store in a fresh temporary folder.
struct StoreFixture : ::testing::Test {
  TempDir dir;
  std::unique_ptr<Store> store;

  std::filesystem::path storePath() const { return dir / "QuillmereMac.store"; }

  void SetUp() override { reopen(); }

  void reopen() {
    store.reset();
    auto opened = Store::open(storePath());
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    store = std::move(opened).value();
  }
};

#define ASSERT_OK(expr)                                                       \
  do {                                                                        \
    const auto& assert_ok_result_ = (expr);                                   \
    ASSERT_TRUE(assert_ok_result_.ok()) << assert_ok_result_.error().message; \
  } while (0)

}  // namespace qm::test
