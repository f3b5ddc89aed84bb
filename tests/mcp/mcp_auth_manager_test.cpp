#include "mcp/mcp_auth_manager.h"

#include <chrono>

#include "mcp_fixture.h"
#include "store/mcp_records.h"

namespace qm::mcp {
namespace {

using namespace std::chrono_literals;

constexpr auto kThirtyDays = std::chrono::hours(30 * 24);

class MCPAuthManagerTest : public StoreTest {
 protected:
  std::vector<MCPClientAuthorization> clients(const std::string& name) {
    return store->fetch<MCPClientAuthorization>({Match{"clientName", name}}).value();
  }
  std::vector<MCPAccessLog> accessLog() { return store->fetch<MCPAccessLog>().value(); }
  void setPermissions(const std::string& name, const std::string& permissions) {
    auto record = clients(name).at(0);
    record.permissions = permissions;
    ASSERT_TRUE(store->update(record).ok());
  }

  /// A log row written straight to the store, as an earlier run would have left it.
  Uuid addLogRow(Date timestamp) {
    MCPAccessLog row{Uuid::random(), Uuid::random(), "list_events", timestamp, 1};
    EXPECT_TRUE(store->insert(row).ok());
    return row.id;
  }
  bool logHolds(const Uuid& id) { return store->find<MCPAccessLog>(id).value().has_value(); }

  Date now = day(0);
  MCPAuthManager auth{*store, [this] { return now; }};
};

TEST_F(MCPAuthManagerTest, HandshakesOfOneExactNameShareOneRecordAndMoveItsLastAccess) {
  const Date first = now;
  auth.authorizeClient("Cursor");
  now += 5min;
  auth.authorizeClient("Cursor");
  auth.authorizeClient("cursor");

  auto records = clients("Cursor");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(std::tie(records[0].firstAuthorizedAt, records[0].lastAccessedAt, records[0].revokedAt),
            std::tuple(first, now, std::nullopt));
  EXPECT_EQ(auth.access("Cursor").value(), ClientAccess::read);
  EXPECT_EQ(auth.access("CURSOR").value(), ClientAccess::none);

  ASSERT_TRUE(MCPAuthManager::revoke(*store, "cursor", now).ok());
  EXPECT_EQ(auth.access("cursor").value(), ClientAccess::none);
  EXPECT_EQ(auth.access("Cursor").value(), ClientAccess::read);
}

TEST_F(MCPAuthManagerTest, RevokedOrDeniedClientsStayRefusedUntilRestored) {
  auth.authorizeClient("Zed");
  const Date revokedAt = now;
  ASSERT_TRUE(MCPAuthManager::revoke(*store, "Zed", revokedAt).ok());
  now += 1h;
  auth.authorizeClient("Zed");  // reconnecting does not lift the revocation
  EXPECT_EQ(auth.access("Zed").value(), ClientAccess::none);
  EXPECT_EQ(clients("Zed")[0].revokedAt, revokedAt);
  // Writes are granted only to a client that is let in.
  EXPECT_FALSE(MCPAuthManager::allowWrites(*store, "Zed", true).ok());

  setPermissions("Zed", "denied");
  ASSERT_TRUE(MCPAuthManager::restore(*store, "Zed").ok());
  EXPECT_EQ(auth.access("Zed").value(), ClientAccess::read);
  EXPECT_FALSE(clients("Zed")[0].revokedAt);
  ASSERT_TRUE(MCPAuthManager::allowWrites(*store, "Zed", true).ok());
  EXPECT_EQ(auth.access("Zed").value(), ClientAccess::readWrite);
  auth.authorizeClient("Zed");  // reconnecting keeps what was granted
  EXPECT_EQ(auth.access("Zed").value(), ClientAccess::readWrite);
  ASSERT_TRUE(MCPAuthManager::allowWrites(*store, "Zed", false).ok());
  EXPECT_EQ(auth.access("Zed").value(), ClientAccess::read);

  setPermissions("Zed", "denied");
  auth.authorizeClient("Zed");
  EXPECT_EQ(auth.access("Zed").value(), ClientAccess::none);

  Status unknown = MCPAuthManager::revoke(*store, "Nobody", now);
  ASSERT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.error().message, "Unknown MCP client \"Nobody\"");
  EXPECT_FALSE(MCPAuthManager::restore(*store, "zed").ok());
}

TEST_F(MCPAuthManagerTest, DuplicateRecordsAreAllRevokedButOnlyTheFirstDecides) {
  MCPClientAuthorization first{Uuid::random(), "Twin", now, now, "denied", std::nullopt};
  MCPClientAuthorization second{Uuid::random(), "Twin", now, now, "readOnly", std::nullopt};
  ASSERT_TRUE(store->insert(first).ok());
  ASSERT_TRUE(store->insert(second).ok());
  EXPECT_EQ(auth.access("Twin").value(), ClientAccess::none);

  now += 1min;
  auth.authorizeClient("Twin");
  auth.logAccess("Twin", "list_events", 2);
  auth.logAccess("Stranger", "list_events", 3);  // unknown names leave no row
  EXPECT_EQ(clients("Twin")[0].lastAccessedAt, now);
  EXPECT_EQ(clients("Twin")[1].lastAccessedAt, second.lastAccessedAt);
  ASSERT_EQ(accessLog().size(), 1u);
  EXPECT_EQ(std::tie(accessLog()[0].clientID, accessLog()[0].timestamp), std::tuple(first.id, now));

  ASSERT_TRUE(MCPAuthManager::revoke(*store, "Twin", now).ok());
  for (const auto& record : clients("Twin")) EXPECT_EQ(record.revokedAt, now);
}

TEST_F(MCPAuthManagerTest, OldRowsArePurgedAtMostHourlyKeepingThirtyDays) {
  auth.authorizeClient("Claude Desktop");
  const Uuid stale = addLogRow(now - kThirtyDays - 1us);
  auth.logAccess("Claude Desktop", "list_events", 0);  // the first call purges
  EXPECT_FALSE(logHolds(stale));

  const Date start = now;
  const Date purgeTime = start + 60min;
  const Uuid older = addLogRow(start - kThirtyDays - 1us);
  const Uuid justOlder = addLogRow(purgeTime - kThirtyDays - 1us);
  const Uuid exactlyThirtyDays = addLogRow(purgeTime - kThirtyDays);

  now = start + 59min;
  auth.logAccess("Claude Desktop", "list_events", 0);
  EXPECT_TRUE(logHolds(older));

  now = purgeTime;
  auth.logAccess("Claude Desktop", "list_events", 0);
  EXPECT_FALSE(logHolds(older));
  EXPECT_FALSE(logHolds(justOlder));
  EXPECT_TRUE(logHolds(exactlyThirtyDays));
  EXPECT_EQ(accessLog().size(), 4u);  // three calls and the row exactly 30 days old
}

}  // namespace
}  // namespace qm::mcp
