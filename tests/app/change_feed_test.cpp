// The change feed of a running companion, followed over its control socket.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "app/change_feed_client.h"
#include "companion_fixture.h"
#include "support/status_matchers.h"

namespace qm::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

class ChangeFeedTest : public CompanionFixture {
 protected:
  /// Every event that arrives within `time`.
  std::vector<nlohmann::json> eventsWithin(ChangeFeedClient& feed, std::chrono::milliseconds time) {
    std::vector<nlohmann::json> events;
    const auto end = std::chrono::steady_clock::now() + time;
    for (auto left = time; left.count() > 0;
         left = std::chrono::duration_cast<std::chrono::milliseconds>(
             end - std::chrono::steady_clock::now())) {
      auto event = feed.next(left);
      if (!event.ok()) {
        ADD_FAILURE() << event.error().message;
        break;
      }
      if (*event) events.push_back(**event);
    }
    return events;
  }
  static std::vector<nlohmann::json> ofKind(const std::vector<nlohmann::json>& events,
                                            const std::string& kind) {
    std::vector<nlohmann::json> out;
    for (const auto& e : events)
      if (e.value("event", "") == kind) out.push_back(e);
    return out;
  }
  nlohmann::json status() {
    auto s = sendControlRequest(paths.controlSocket(), {{"command", "status"}});
    return s.ok() ? *s : nlohmann::json();
  }
};

TEST_F(ChangeFeedTest, ReportsRecordAndPairingChangesOncePerTickToEveryReader) {
  auto feed = ChangeFeedClient::subscribe(paths.controlSocket());
  ASSERT_OK(feed);
  // Connected and never read: it must hold up nobody.
  auto stuck = ChangeFeedClient::subscribe(paths.controlSocket());
  ASSERT_OK(stuck);

  // Thousands of contacts written by another process: one event.
  auto demo = cli({"demo-data", "-n", "3000", "--json"});
  ASSERT_EQ(demo.exitCode, 0) << demo.err;
  auto records = ofKind(eventsWithin(*feed, std::chrono::milliseconds(1200)), "records");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_THAT(records[0]["tables"], Contains("Contact"));

  // A burst of the companion's own writes: a few events naming only the table written.
  const auto ids = nlohmann::json::parse(demo.out)["contactIDs"];
  const auto started = std::chrono::steady_clock::now();
  constexpr int kWrites = 40;
  for (int i = 0; i < kWrites; ++i) {
    auto marked = sendControlRequest(
        paths.controlSocket(),
        {{"command", "contacts.mark"}, {"action", "target"}, {"ids", {ids[i], ids[i + 1]}}});
    ASSERT_OK(marked);
  }
  const auto ticks = (std::chrono::steady_clock::now() - started) / std::chrono::milliseconds(250);
  records = ofKind(eventsWithin(*feed, std::chrono::milliseconds(800)), "records");
  ASSERT_FALSE(records.empty());
  EXPECT_LE(static_cast<long>(records.size()), std::min<long>(ticks + 2, kWrites / 4));
  for (const auto& e : records) EXPECT_THAT(e["tables"], ElementsAre("Contact"));

  // Pairing offered for a second, then given up.
  EXPECT_THAT(sendControlRequest(paths.controlSocket(),
                                 {{"command", "pairing.start"}, {"timeoutSeconds", 1}}),
              IsError());
  auto pairing = ofKind(eventsWithin(*feed, std::chrono::milliseconds(600)), "pairing");
  ASSERT_FALSE(pairing.empty());
  EXPECT_EQ(pairing.front()["state"], "advertising");
  EXPECT_EQ(pairing.back()["state"], "unpaired");

  auto plain = cli({"status"});
  EXPECT_EQ(plain.exitCode, 0) << plain.err;
}

TEST_F(ChangeFeedTest, TheStoreIsPolledOnlyWhileSomeoneListens) {
  EXPECT_EQ(status()["feedPolling"], false);
  {
    auto feed = ChangeFeedClient::subscribe(paths.controlSocket());
    ASSERT_OK(feed);
    auto s = status();
    EXPECT_EQ(s["feedSubscribers"], 1);
    EXPECT_EQ(s["feedPolling"], true);
  }
  EXPECT_TRUE(eventually([&] {
    auto s = status();
    return s["feedSubscribers"] == 0 && s["feedPolling"] == false;
  }));
}

}  // namespace
}  // namespace qm::test
