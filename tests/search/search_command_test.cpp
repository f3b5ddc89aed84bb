// `quillmere search` run as a program on a demo store.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class SearchCommandTest : public ::testing::Test {
 protected:
  test::TempDir home;
  std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                         {"HOME", home.path().string()}};

  test::CommandResult cli(std::vector<std::string> args) {
    return test::runCommand(QUILLMERE_BINARY, args, env);
  }

  void SetUp() override {
    ASSERT_EQ(cli({"demo-data"}).exitCode, 0);
    ASSERT_EQ(cli({"demo-data", "--event", "Second Fair", "-n", "3"}).exitCode, 0);
  }
};

TEST_F(SearchCommandTest, PrintsTheGroupsInOrderWithTheirEvents) {
  auto found = cli({"search", "acme", "cto"});
  ASSERT_EQ(found.exitCode, 0) << found.err;
  EXPECT_THAT(found.out, HasSubstr("Contacts ("));
  EXPECT_THAT(found.out, HasSubstr("  Ada Lovelace — CTO at Acme Robotics  [Demo Expo]\n"));
  EXPECT_THAT(found.out, HasSubstr("  Ada Lovelace — CTO at Acme Robotics  [Second Fair]\n"));
  EXPECT_LT(found.out.find("Contacts ("), found.out.find("Companies ("));

  auto events = cli({"search", "hall", "4"});
  EXPECT_THAT(events.out,
              AllOf(HasSubstr("Events (2)\n"), HasSubstr("  Demo Expo — Hall 4 · 25 contacts\n"),
                    HasSubstr("  Second Fair — Hall 4 · 3 contacts\n")));

  auto nothing = cli({"search", "zeppelin"});
  EXPECT_EQ(nothing.exitCode, 0);
  EXPECT_EQ(nothing.out, "Nothing found for \"zeppelin\".\n");
}

TEST_F(SearchCommandTest, ScopesToOneEventAndPrintsJSON) {
  auto found = cli({"search", "acme", "--event", "second fair", "--json"});
  ASSERT_EQ(found.exitCode, 0) << found.err;
  const auto doc = nlohmann::json::parse(found.out);
  std::vector<std::string> categories;
  for (const auto& group : doc["groups"]) categories.push_back(group["category"]);
  EXPECT_THAT(categories, ElementsAre("contacts", "companies", "opportunities", "drafts"));
  const auto& contacts = doc["groups"][0]["results"];
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0]["primaryText"], "Ada Lovelace");
  EXPECT_FALSE(contacts[0].contains("eventName"));
  EXPECT_EQ(contacts[0]["target"]["kind"], "contact");
  EXPECT_EQ(contacts[0]["target"]["eventID"], doc["event"]);
}

TEST_F(SearchCommandTest, RefusesShortQueriesAndUnknownEvents) {
  auto shortQuery = cli({"search", " a "});
  EXPECT_EQ(shortQuery.exitCode, 2);
  EXPECT_EQ(shortQuery.err, "Type at least two characters to search.\n");
  EXPECT_THAT(shortQuery.out, Not(HasSubstr("Contacts")));

  auto unknown = cli({"search", "acme", "--event", "Nowhere Expo"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_THAT(unknown.err, Not(testing::IsEmpty()));
}

}  // namespace
}  // namespace qm
