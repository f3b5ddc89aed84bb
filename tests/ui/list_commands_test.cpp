// `quillmere contacts|companies|dashboard` on a demo store, and the bulk
// edits through the running companion.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "app/companion_fixture.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/store.h"
#include "ui/display_width.h"

namespace qm {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class ListCommandsTest : public test::CompanionFixture {
 protected:
  void SetUp() override {
    test::CompanionFixture::SetUp();
    ASSERT_EQ(cli({"demo-data", "-n", "24"}).exitCode, 0);
    auto store = Store::open(paths.storeFile());
    ASSERT_TRUE(store.ok());
    auto events = (*store)->fetch<Event>();
    ASSERT_TRUE(events.ok());
    Contact tanaka =
        Contact::create("田中", "太郎", "株式会社とても長い名前の国際物流会社", (*events)[0].id);
    tanaka.status = MeetingStatus::met;
    tanaka.email = "tanaka@example.jp";
    ASSERT_TRUE((*store)->insert(tanaka).ok());
    env["COLUMNS"] = "60";
  }

  nlohmann::json json(std::vector<std::string> args) {
    args.push_back("--json");
    auto run = cli(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return nlohmann::json::parse(run.out, nullptr, false);
  }
};

TEST_F(ListCommandsTest, TablesFitTheTerminalAndJsonCarriesTheList) {
  auto table = cli({"contacts", "demo expo", "--met"});
  ASSERT_EQ(table.exitCode, 0) << table.err;
  std::istringstream lines(table.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_THAT(line, AllOf(StartsWith("ID"), HasSubstr("Name"), HasSubstr("Company")));
  int rows = 0;
  for (; std::getline(lines, line);) {
    EXPECT_LE(displayWidth(line), 60u) << line;
    if (line.find("田中") != std::string::npos) {
      EXPECT_THAT(line, HasSubstr("…"));
    }
    rows += line.find("Met") != std::string::npos ? 1 : 0;
  }
  // Demo contacts 0, 4, 8, … 20 are met, and Tanaka.
  EXPECT_EQ(rows, 7);
  EXPECT_THAT(table.out, HasSubstr("7 of 25 contacts · Sort: Name ↑"));

  auto list = json({"contacts", "Demo Expo", "--targets", "--sort", "targets-first", "--desc"});
  EXPECT_EQ(list["total"], 25);
  EXPECT_EQ(list["sort"], "Targets First");
  EXPECT_EQ(list["ascending"], false);
  ASSERT_EQ(list["contacts"].size(), 5u);  // 0, 5, 10, 15, 20
  for (const auto& c : list["contacts"]) EXPECT_EQ(c["isTarget"], true);

  auto companies = json({"companies", "Demo Expo", "--sort", "most contacts"});
  ASSERT_FALSE(companies["companies"].empty());
  EXPECT_EQ(companies["companies"][0]["contacts"], 4);
  EXPECT_EQ(companies["sort"], "Most Contacts");

  auto dashboard = json({"dashboard", "Demo Expo"});
  EXPECT_EQ(dashboard["pipelineTotals"][0]["currency"], "EUR");
  EXPECT_EQ(dashboard["nextActions"][0]["text"], "Assign owners to 7 contacts");
  auto portfolio = cli({"dashboard"});
  EXPECT_THAT(portfolio.out, HasSubstr("ATTENTION ITEMS\n  • 25 contacts without tier assignment"));
  // The portfolio adds up event by event.
  ASSERT_EQ(cli({"demo-data", "-n", "5", "--event", "Second Fair"}).exitCode, 0);
  auto both = json({"dashboard"});
  ASSERT_EQ(both["events"].size(), 2u);
  EXPECT_EQ(both["events"][0]["contacts"].get<int>() + both["events"][1]["contacts"].get<int>(),
            30);
  EXPECT_EQ(both["attentionItems"][0]["text"], "30 contacts without tier assignment");

  EXPECT_NE(cli({"contacts", "No Such Expo"}).exitCode, 0);
  EXPECT_EQ(cli({"contacts", "Demo Expo", "--sort", "height"}).exitCode, 2);
}

TEST_F(ListCommandsTest, MarkingGoesThroughTheCompanion) {
  auto before = json({"contacts", "Demo Expo", "--not-met", "--sort", "name"});
  ASSERT_FALSE(before["contacts"].empty());
  std::string id, prefix;
  for (const auto& c : before["contacts"]) {
    if (c["isTarget"] == false) {
      id = c["id"];
      break;
    }
  }
  ASSERT_FALSE(id.empty());
  prefix = id.substr(0, 8);

  auto marked = cli({"contacts", "mark-target", prefix});
  ASSERT_EQ(marked.exitCode, 0) << marked.err;
  EXPECT_EQ(marked.out, "Marked 1 contact as a target.\n");
  auto met = cli({"contacts", "mark-met", id, "--json"});
  ASSERT_EQ(met.exitCode, 0) << met.err;
  EXPECT_EQ(nlohmann::json::parse(met.out)["changed"], 1);

  bool found = false;
  const auto after = json({"contacts", "Demo Expo", "--targets", "--met"});
  for (const auto& c : after["contacts"])
    if (c["id"] == id) {
      found = true;
      EXPECT_FALSE(c["metAt"].is_null());
    }
  EXPECT_TRUE(found);

  auto unknown = cli({"contacts", "mark-met", id, "00000000-0000-4000-8000-000000000000"});
  EXPECT_NE(unknown.exitCode, 0);
  EXPECT_THAT(unknown.err, HasSubstr("No contact with id 00000000-0000-4000-8000-000000000000"));
}

}  // namespace
}  // namespace qm
