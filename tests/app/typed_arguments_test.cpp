// What people type for an event and for a word of a fixed set, through the
// real `quillmere` commands on a store of several events, with the companion
// running for the commands that go through it.
#include <gmock/gmock.h>

#include <map>
#include <nlohmann/json.hpp>

#include "app/companion_fixture.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

class TypedArgumentsTest : public test::CompanionFixture {
 protected:
  void SetUp() override {
    test::CompanionFixture::SetUp();
    for (const char* name : {"Hannover Messe 2025", "Hannover Messe 2026", "München Expo",
                             "Demo Expo", "Demo Expo Lisbon"}) {
      auto made = cli({"demo-data", "-n", "4", "--event", name, "--json"});
      ASSERT_EQ(made.exitCode, 0) << made.err;
      ids[name] = nlohmann::json::parse(made.out)["eventID"];
    }
  }

  /// The JSON a command prints with --json, or null when it failed.
  nlohmann::json json(std::vector<std::string> args) {
    args.push_back("--json");
    auto run = cli(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return nlohmann::json::parse(run.out, nullptr, false);
  }
  /// The name of the event whose contacts `quillmere contacts TYPED` lists.
  std::string eventNamed(const std::string& typed) {
    const auto list = json({"contacts", typed});
    return list.is_discarded() ? "" : list["event"]["name"].get<std::string>();
  }
  /// "  NAME  ID" as an event's line in a list, the ids aligned after the longest name.
  std::string line(const std::string& name, std::size_t longest) {
    return "\n  " + name + std::string(longest - name.size() + 2, ' ') + ids[name];
  }

  std::map<std::string, std::string> ids;
};

TEST_F(TypedArgumentsTest, AnEventIsNamedByItsIdItsNameOrAPartOfItsName) {
  EXPECT_EQ(eventNamed(ids["Hannover Messe 2025"]), "Hannover Messe 2025");
  std::string lowered = ids["Hannover Messe 2026"];
  for (char& c : lowered) c = static_cast<char>(std::tolower(c));
  EXPECT_EQ(eventNamed(lowered), "Hannover Messe 2026");
  EXPECT_EQ(eventNamed(" hannover MESSE 2026 "), "Hannover Messe 2026");
  EXPECT_EQ(eventNamed("2025"), "Hannover Messe 2025");
  EXPECT_EQ(eventNamed("lisbon"), "Demo Expo Lisbon");
  // Accents need not be typed.
  EXPECT_EQ(eventNamed("munchen"), "München Expo");
  EXPECT_EQ(eventNamed("MÜNCHEN EXPO"), "München Expo");
  // The whole name wins over a longer name that holds it.
  EXPECT_EQ(eventNamed("demo expo"), "Demo Expo");
}

TEST_F(TypedArgumentsTest, EveryCommandTakingAnEventFindsItTheSameWay) {
  const std::string lisbon = ids["Demo Expo Lisbon"];
  EXPECT_EQ(json({"companies", "LISBON"})["event"]["id"], lisbon);
  EXPECT_EQ(json({"dashboard", "lisbon"})["event"]["id"], lisbon);
  EXPECT_EQ(json({"search", "demo", "--event", "lisbon"})["event"], lisbon);
  auto exported = cli({"export", "csv", "lisbon", "-o", (outDir / "lisbon.csv").string()});
  EXPECT_EQ(exported.exitCode, 0) << exported.err;
  EXPECT_THAT(exported.out, HasSubstr("Exported 4 contacts"));

  // The companion takes the event's id: the command finds it first.
  auto batch = cli({"drafts", "batch", "lisbon", "--tone", "FORMAL"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  EXPECT_THAT(batch.out, HasSubstr("Batch complete: 1 draft written"));
  const auto drafts = cli({"drafts", "list", "--event", "Lisbon", "--status", "Draft"});
  EXPECT_THAT(drafts.out, HasSubstr("  draft  formal  "));
  EXPECT_EQ(cli({"drafts", "list", "--event", "2025"}).out, "No drafts.\n");
  auto eml = cli({"export", "eml", "--event", "lisbon", "--dir", outDir.path().string()});
  EXPECT_THAT(eml.out, HasSubstr("Exported 1 draft as .eml"));

  // Nothing reaches the companion when the name fits several events.
  auto unclear = cli({"drafts", "batch", "hannover"});
  EXPECT_EQ(unclear.exitCode, 1);
  EXPECT_THAT(unclear.err, HasSubstr("\"hannover\" is in the names of 2 events"));
  EXPECT_EQ(cli({"drafts", "list", "--event", "2026"}).out, "No drafts.\n");
}

TEST_F(TypedArgumentsTest, AnUnclearOrUnknownNameListsTheEventsWithTheirIds) {
  auto unclear = cli({"contacts", "hannover"});
  EXPECT_EQ(unclear.exitCode, 1);
  EXPECT_EQ(unclear.err,
            "\"hannover\" is in the names of 2 events; name one by its id or more of its name:" +
                line("Hannover Messe 2025", 19) + line("Hannover Messe 2026", 19) + "\n");

  auto unknown = cli({"dashboard", "Paris"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_EQ(unknown.err,
            "No event is called \"Paris\" or has it in its name. The events on this computer:" +
                line("Demo Expo", 19) + line("Demo Expo Lisbon", 19) +
                line("Hannover Messe 2025", 19) + line("Hannover Messe 2026", 19) +
                line("München Expo", 20) + "\n");  // "ü" is two bytes and one column

  // Two events of one name: only the id tells them apart.
  ASSERT_EQ(cli({"demo-data", "-n", "1", "--event", "Demo Expo"}).exitCode, 0);
  auto same = cli({"export", "csv", "demo expo"});
  EXPECT_EQ(same.exitCode, 1);
  EXPECT_THAT(same.err, HasSubstr("2 events are called \"demo expo\"; name one by its id:\n"));

  test::TempDir emptyHome;
  auto none = test::runCommand(QUILLMERE_BINARY, {"companies", "Paris"},
                               {{"QUILLMERE_HOME", emptyHome.path().string()}});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.err, "No event is called \"Paris\": there are no events on this computer yet.\n");
}

TEST_F(TypedArgumentsTest, WordsOfAFixedSetAreTakenInAnyCaseWithOrWithoutDashes) {
  for (const char* typed : {"highest-rated", "Highest Rated", "highestRated", "HIGHEST_RATED"})
    EXPECT_EQ(json({"contacts", "2025", "--sort", typed})["sort"], "Highest Rated") << typed;
  EXPECT_EQ(json({"companies", "2025", "--sort", "Most-Contacts"})["sort"], "Most Contacts");
  EXPECT_EQ(json({"companies", "2025", "--sort", "alphabetical"})["sort"], "A\u2013Z");
  EXPECT_THAT(
      cli({"export", "csv", "2025", "--scope", "Targets", "-o", (outDir / "targets.csv").string()})
          .out,
      HasSubstr("Exported 1 contact "));
  EXPECT_THAT(cli({"mcp", "config", "claude desktop"}).out,
              AllOf(HasSubstr("Claude Desktop"), Not(HasSubstr("Gemini"))));
  EXPECT_EQ(cli({"settings", "set", "density", "Compact"}).out, "density = compact\n");
  EXPECT_EQ(cli({"settings", "set", "aiEndpointKind", "Chat Completions"}).out,
            "aiEndpointKind = chatCompletions\n");

  // An unknown word is a usage error that lists the words in their dashed form.
  const std::map<std::vector<std::string>, std::string> refused{
      {{"contacts", "2025", "--sort", "height"},
       "--sort: \"height\" is not an ordering of contacts; use one of: name, company, tier, "
       "score, status, targets-first, recently-met, highest-rated, lowest-rated, title\n"},
      {{"companies", "2025", "--sort", "size"},
       "use one of: a-z, most-contacts, best-rated, most-met\n"},
      {{"drafts", "list", "--status", "done"}, "use one of: draft, approved, sent, dismissed\n"},
      {{"settings", "set", "aiEndpointKind", "local"}, "use one of: proxy, chat-completions\n"},
      {{"mcp", "install", "notepad"},
       "use one of: claude-code, cursor, vscode, zed, goose, lmstudio, continue, cline, windsurf, "
       "codex, gemini, claude, chatgpt\n"},
      {{"mail", "login", "--host", "smtp.example.com", "--security", "ssl"},
       "use one of: starttls, tls, none\n"},
  };
  for (const auto& [args, text] : refused) {
    auto run = cli(args);
    EXPECT_EQ(run.exitCode, 2) << args[0];
    EXPECT_THAT(run.err, HasSubstr(text));
  }
}

}  // namespace
}  // namespace qm
