#include "mcp/mcp_auth_manager.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/log.h"
#include "common/uuid.h"
#include "store/mcp_records.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace qm::mcp {
namespace {

using namespace std::chrono_literals;

constexpr auto kThirtyDays = std::chrono::hours(30 * 24);

std::unique_ptr<Store> openStore(const test::TempDir& dir) {
  auto opened = Store::open(dir / "QuillmereMac.store");
  if (!opened) ADD_FAILURE() << opened.error().message;
  return std::move(opened).value();
}

class MCPAuthManagerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { log::setLevel(spdlog::level::warn); }
  static void TearDownTestSuite() { log::setLevel(spdlog::level::info); }

  std::vector<MCPClientAuthorization> clients(const std::string& name) {
    return store_->fetch<MCPClientAuthorization>({Match{"clientName", name}}).value();
  }
  std::vector<MCPAccessLog> accessLog() { return store_->fetch<MCPAccessLog>().value(); }

  /// A log row written straight to the store, as an earlier run would have left it.
  Uuid addLogRow(Date timestamp) {
    MCPAccessLog row{Uuid::random(), Uuid::random(), "list_events", timestamp, 1};
    EXPECT_TRUE(store_->insert(row).ok());
    return row.id;
  }
  bool logHolds(const Uuid& id) { return store_->find<MCPAccessLog>(id).value().has_value(); }

  test::TempDir dir_;
  std::unique_ptr<Store> store_ = openStore(dir_);
  Date clock_ = dateFromUnixSeconds(1'780'000'000);
  MCPAuthManager auth_{*store_, [this] { return clock_; }};
};

TEST_F(MCPAuthManagerTest, HandshakesOfOneNameShareOneRecordAndMoveItsLastAccess) {
  const Date first = clock_;
  auth_.authorizeClient("Claude Desktop");
  clock_ += 5min;
  auth_.authorizeClient("Claude Desktop");

  auto records = clients("Claude Desktop");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].firstAuthorizedAt, first);
  EXPECT_EQ(records[0].lastAccessedAt, clock_);
  EXPECT_EQ(records[0].permissions, "readOnly");
  EXPECT_FALSE(records[0].revokedAt);
  EXPECT_TRUE(auth_.isAuthorized("Claude Desktop"));
}

TEST_F(MCPAuthManagerTest, NamesAreMatchedExactlyIncludingCase) {
  auth_.authorizeClient("cursor");
  auth_.authorizeClient("Cursor");
  EXPECT_EQ(clients("cursor").size(), 1u);
  EXPECT_EQ(clients("Cursor").size(), 1u);
  EXPECT_FALSE(auth_.isAuthorized("CURSOR"));

  ASSERT_TRUE(MCPAuthManager::revoke(*store_, "cursor", clock_).ok());
  EXPECT_FALSE(auth_.isAuthorized("cursor"));
  EXPECT_TRUE(auth_.isAuthorized("Cursor"));
}

TEST_F(MCPAuthManagerTest, RevokedOrDeniedClientsStayRefusedUntilRestored) {
  auth_.authorizeClient("Zed");
  const Date revokedAt = clock_;
  ASSERT_TRUE(MCPAuthManager::revoke(*store_, "Zed", revokedAt).ok());
  clock_ += 1h;
  auth_.authorizeClient("Zed");  // reconnecting does not lift the revocation
  EXPECT_FALSE(auth_.isAuthorized("Zed"));
  EXPECT_EQ(clients("Zed")[0].revokedAt, revokedAt);

  auto record = clients("Zed")[0];
  record.permissions = "denied";
  ASSERT_TRUE(store_->update(record).ok());
  ASSERT_TRUE(MCPAuthManager::restore(*store_, "Zed").ok());
  EXPECT_TRUE(auth_.isAuthorized("Zed"));
  EXPECT_FALSE(clients("Zed")[0].revokedAt);
  EXPECT_EQ(clients("Zed")[0].permissions, "readOnly");

  record = clients("Zed")[0];
  record.permissions = "denied";
  ASSERT_TRUE(store_->update(record).ok());
  auth_.authorizeClient("Zed");
  EXPECT_FALSE(auth_.isAuthorized("Zed"));
}

TEST_F(MCPAuthManagerTest, RevokeAndRestoreRefuseUnknownNames) {
  auth_.authorizeClient("Known");
  Status revoked = MCPAuthManager::revoke(*store_, "Nobody", clock_);
  ASSERT_FALSE(revoked.ok());
  EXPECT_EQ(revoked.error().message, "Unknown MCP client \"Nobody\"");
  Status restored = MCPAuthManager::restore(*store_, "known");
  ASSERT_FALSE(restored.ok());
  EXPECT_EQ(restored.error().message, "Unknown MCP client \"known\"");
}

TEST_F(MCPAuthManagerTest, DuplicateRecordsAreAllRevokedButOnlyTheFirstDecides) {
  MCPClientAuthorization first{Uuid::random(), "Twin", clock_, clock_, "denied", std::nullopt};
  MCPClientAuthorization second{Uuid::random(), "Twin", clock_, clock_, "readOnly", std::nullopt};
  ASSERT_TRUE(store_->insert(first).ok());
  ASSERT_TRUE(store_->insert(second).ok());
  EXPECT_FALSE(auth_.isAuthorized("Twin"));

  clock_ += 1min;
  auth_.authorizeClient("Twin");
  auth_.logAccess("Twin", "list_events", 2);
  EXPECT_EQ(clients("Twin")[0].lastAccessedAt, clock_);
  EXPECT_EQ(clients("Twin")[1].lastAccessedAt, second.lastAccessedAt);
  ASSERT_EQ(accessLog().size(), 1u);
  EXPECT_EQ(accessLog()[0].clientID, first.id);

  ASSERT_TRUE(MCPAuthManager::revoke(*store_, "Twin", clock_).ok());
  for (const auto& record : clients("Twin")) EXPECT_EQ(record.revokedAt, clock_);
}

TEST_F(MCPAuthManagerTest, ToolCallsOfKnownClientsAreLogged) {
  auth_.logAccess("Stranger", "list_events", 3);
  EXPECT_TRUE(accessLog().empty());

  auth_.authorizeClient("Claude Desktop");
  clock_ += 2s;
  auth_.logAccess("Claude Desktop", "search_contacts", 4);
  auth_.logAccess("Claude Desktop", "no_such_tool", std::nullopt);

  auto rows = accessLog();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].clientID, clients("Claude Desktop")[0].id);
  EXPECT_EQ(rows[0].method, "search_contacts");
  EXPECT_EQ(rows[0].timestamp, clock_);
  EXPECT_EQ(rows[0].resultCount, 4);
  EXPECT_EQ(rows[1].method, "no_such_tool");
  EXPECT_FALSE(rows[1].resultCount);
}

TEST_F(MCPAuthManagerTest, OldRowsArePurgedAtMostHourlyKeepingThirtyDays) {
  auth_.authorizeClient("Claude Desktop");
  const Uuid stale = addLogRow(clock_ - kThirtyDays - 1us);
  auth_.logAccess("Claude Desktop", "list_events", 0);  // the first call purges
  EXPECT_FALSE(logHolds(stale));

  const Date start = clock_;
  const Date purgeTime = start + 60min;
  const Uuid older = addLogRow(start - kThirtyDays - 1us);
  const Uuid justOlder = addLogRow(purgeTime - kThirtyDays - 1us);
  const Uuid exactlyThirtyDays = addLogRow(purgeTime - kThirtyDays);

  clock_ = start + 59min;
  auth_.logAccess("Claude Desktop", "list_events", 0);
  EXPECT_TRUE(logHolds(older));

  clock_ = purgeTime;
  auth_.logAccess("Claude Desktop", "list_events", 0);
  EXPECT_FALSE(logHolds(older));
  EXPECT_FALSE(logHolds(justOlder));
  EXPECT_TRUE(logHolds(exactlyThirtyDays));
  EXPECT_EQ(accessLog().size(), 4u);  // three calls and the row exactly 30 days old
}

}  // namespace
}  // namespace qm::mcp
