#pragma once
// What the MCP tests share: a fresh store with the desktop's settings and
// identity beside it, logs silenced, and the tool set over them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/log.h"
#include "mcp/mcp_tool_handlers.h"
#include "store/relationships.h"
#include "store/store.h"
#include "support/desktop_services.h"
#include "support/temp_dir.h"

namespace qm::mcp {

class StoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { log::setLevel(spdlog::level::off); }
  static void TearDownTestSuite() { log::setLevel(spdlog::level::info); }

  std::filesystem::path storeFile() const { return dir / "QuillmereMac.store"; }

  qm::test::TempDir dir;
  std::unique_ptr<Store> store = Store::open(storeFile()).value();
  qm::test::DesktopServices services{dir.path()};
};

/// 2026-01-01T00:00:00Z plus `n` days; the tools' clock stands at day(0).
inline Date day(int n) {
  return dateFromUnixSeconds(1767225600 + std::int64_t{86400} * n);
}

class ToolTest : public StoreTest {
 protected:
  template <Record R>
  R add(R record) {
    auto status = store->insert(record);
    EXPECT_TRUE(status.ok()) << status.error().message;
    return record;
  }
  template <Record R>
  R stored(const Uuid& id) {
    auto found = store->find<R>(id);
    EXPECT_TRUE(found.ok() && found->has_value());
    return found.ok() && found->has_value() ? **found : R{};
  }
  ToolOutcome call(std::string_view name, const JSONValue& args = JSONValue::object()) {
    return tools.callTool(name, args);
  }
  /// A successful call's document.
  JSONValue ok(std::string_view name, const JSONValue& args = JSONValue::object()) {
    auto out = call(name, args);
    EXPECT_FALSE(out.isError) << out.text;
    return JSONValue::parse(out.text);
  }
  void expectError(std::string_view tool, const JSONValue& args, std::string_view message) {
    auto out = call(tool, args);
    EXPECT_TRUE(out.isError) << tool;
    EXPECT_EQ(out.text, R"({"error":")" + std::string(message) + R"("})") << tool;
    EXPECT_EQ(out.resultCount, 0) << tool;
  }

  MCPToolHandlers tools{*store, services.settings, services.identity, [] { return day(0); }};
};

}  // namespace qm::mcp
