// Drafting end to end: the companion asks the phone simulator's AI over the
// relay, for one contact and for a batch, and the drafts are listed, edited
// and marked from the command line; without an AI, drafts come from the
// templates.
#include <gmock/gmock.h>
#include <signal.h>

#include <nlohmann/json.hpp>
#include <set>

#include "app/control_client.h"
#include "companion_fixture.h"
#include "store/contact.h"
#include "store/follow_up_draft.h"
#include "store/store.h"
#include "support/local_http_server.h"
#include "support/subprocess.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using ::testing::HasSubstr;
using ::testing::Not;

class DraftingEndToEndTest : public test::CompanionFixture {
 protected:
  /// Pairs the simulator, then brings it back as the bonded phone with `relay`
  /// options for answering relay requests.
  std::unique_ptr<test::Subprocess> pairedPhone(const std::vector<std::string>& relay) {
    test::Subprocess pair(QUILLMERE_BINARY, {"pair", "--timeout", "30"}, env, outDir.path());
    const auto offer = test::waitForPairingOffer(pair);
    EXPECT_TRUE(offer) << pair.output() << pair.errors();
    if (!offer) return nullptr;
    auto paired = test::runCommand(
        PHONE_BINARY,
        {"pair", "--port", offer->port, "--qr", offer->qrString, "--bond", bondFile()}, {});
    EXPECT_EQ(paired.exitCode, 0) << paired.out << paired.err;
    EXPECT_EQ(pair.wait(10s), 0) << pair.output() << pair.errors();
    return connectedPhone(relay);
  }
  std::unique_ptr<test::Subprocess> connectedPhone(const std::vector<std::string>& relay) {
    EXPECT_TRUE(eventually([&] {
      return pairingStatus()["state"] == "reconnecting" &&
             pairingStatus().contains("listeningPort");
    })) << pairingStatus().dump();
    std::vector<std::string> args = {
        "connect", "--port",   std::to_string(pairingStatus()["listeningPort"].get<int>()),
        "--bond",  bondFile(), "--listen",
        "60"};
    args.insert(args.end(), relay.begin(), relay.end());
    auto phone = std::make_unique<test::Subprocess>(
        PHONE_BINARY, args, std::map<std::string, std::string>{}, outDir.path());
    EXPECT_TRUE(eventually([&] { return pairingStatus()["state"] == "paired"; }))
        << phone->output() << phone->errors();
    return phone;
  }
};

TEST_F(DraftingEndToEndTest, ThePhonesAIWritesDraftsThatAreEditedAndMarkedHere) {
  auto demo = cli({"demo-data", "-n", "30", "--json"});
  ASSERT_EQ(demo.exitCode, 0) << demo.err;
  const auto ids = nlohmann::json::parse(demo.out);
  const std::string eventID = ids["eventID"];
  const std::string contactID = ids["contactIDs"][0];

  auto noRoute = cli({"drafts", "generate", contactID});
  EXPECT_EQ(noRoute.exitCode, 1);
  EXPECT_THAT(noRoute.err, HasSubstr("pair the phone, or write from a template"));

  auto phone = pairedPhone({"--relay-reply", "SUBJECT: Pumps at the show\n---\nHello,\nthanks."});
  ASSERT_TRUE(phone);
  auto one = cli({"drafts", "generate", contactID, "--tone", "warm"});
  ASSERT_EQ(one.exitCode, 0) << one.err << phone->output();
  EXPECT_THAT(one.out, HasSubstr("Subject: Pumps at the show\n\nHello,\nthanks."));
  EXPECT_THAT(phone->output(), HasSubstr("received relay.ai.request"));
  const std::string draftID = one.out.substr(one.out.find("draft ") + 6, 36);

  // Edited in $EDITOR, then marked approved.
  env["EDITOR"] = "sed -i s/Pumps/Valves/";
  auto edited = cli({"drafts", "edit", draftID});
  ASSERT_EQ(edited.exitCode, 0) << edited.err;
  ASSERT_EQ(cli({"drafts", "set-status", draftID, "approved"}).exitCode, 0);
  auto shown = cli({"drafts", "show", draftID});
  EXPECT_THAT(shown.out, HasSubstr("Subject: Valves at the show\n"));
  EXPECT_THAT(shown.out, HasSubstr("Status: approved  Tone: warm  Provider: phone"));
  EXPECT_THAT(cli({"drafts", "list", "--status", "approved"}).out, HasSubstr(draftID));
  EXPECT_THAT(cli({"drafts", "list", "--status", "draft"}).out, HasSubstr("No drafts."));

  // A batch: the met contacts without a draft, ten at most.
  std::size_t qualifying = 0;
  {
    auto store = Store::open(paths.storeFile());
    ASSERT_TRUE(store);
    std::set<Uuid> drafted;
    const auto drafts = (*store)->fetch<FollowUpDraft>();
    const auto contacts = (*store)->fetch<Contact>();
    ASSERT_TRUE(drafts && contacts);
    for (const auto& d : *drafts) drafted.insert(*d.contactID);
    for (const auto& c : *contacts)
      qualifying += c.status == MeetingStatus::met && !drafted.contains(c.id);
  }
  ASSERT_GT(qualifying, 0u);
  const std::size_t expected = std::min<std::size_t>(qualifying, 10);
  auto batch = cli({"drafts", "batch", eventID});
  ASSERT_EQ(batch.exitCode, 0) << batch.err << phone->output();
  EXPECT_THAT(batch.out, HasSubstr(qualifying > 10 ? "Generate for 10 of " +
                                                         std::to_string(qualifying) + " contacts"
                                                   : "Generate for " + std::to_string(qualifying)));
  const std::string n = std::to_string(expected);
  EXPECT_THAT(batch.out, HasSubstr("[##########] " + n + "/" + n + "  "));
  EXPECT_THAT(batch.out, HasSubstr("Batch complete: " + n + " drafts written, 0 failed\n"));

  // The phone's AI refuses: the error reaches the command line.
  phone->stop(SIGTERM, 5s);
  phone = connectedPhone({"--relay-error", "Quota used up"});
  auto refused = cli({"drafts", "generate", contactID, "--regenerate", draftID});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_THAT(refused.err, HasSubstr("Proxy server error: Quota used up"));
  EXPECT_THAT(cli({"drafts", "show", draftID}).out, HasSubstr("Valves"));
  phone->stop(SIGTERM, 5s);
}

TEST_F(DraftingEndToEndTest, AModelOnThisComputerWritesDraftsWithoutThePhone) {
  auto demo = cli({"demo-data", "-n", "3", "--json"});
  ASSERT_EQ(demo.exitCode, 0) << demo.err;
  const std::string contactID = nlohmann::json::parse(demo.out)["contactIDs"][0];
  test::LocalHTTPServer model;
  model.setReply(
      {200, R"({"choices":[{"message":{"content":"SUBJECT: From the local model\n---\nHi"}}]})"});
  auto login = cli({"ai", "login", "--kind", "chatCompletions", "--endpoint", model.url() + "/v1",
                    "--model", "llama3.1"});
  ASSERT_EQ(login.exitCode, 0) << login.err;

  auto drafted = cli({"drafts", "generate", contactID});
  ASSERT_EQ(drafted.exitCode, 0) << drafted.err;
  EXPECT_THAT(drafted.out, HasSubstr("Subject: From the local model\n\nHi"));
  // The draft names the model that wrote it.
  const std::string draftID = drafted.out.substr(drafted.out.find("draft ") + 6, 36);
  EXPECT_THAT(cli({"drafts", "show", draftID}).out, HasSubstr("Provider: llama3.1"));
  const auto requests = model.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/v1/chat/completions");
  const auto body = nlohmann::json::parse(requests[0].body);
  EXPECT_EQ(body["model"], "llama3.1");
  EXPECT_THAT(body["messages"][0]["content"].get<std::string>(), HasSubstr("CONTACT:\n"));

  // A list's selection: drafts for exactly the chosen contacts, met or not.
  const auto ids = nlohmann::json::parse(demo.out);
  const nlohmann::json chosen = {ids["contactIDs"][1], ids["contactIDs"][2]};
  auto batch = sendControlRequest(
      paths.controlSocket(),
      {{"command", "drafts.batch"}, {"eventID", ids["eventID"]}, {"contactIDs", chosen}});
  ASSERT_TRUE(batch.ok()) << batch.error().message;
  EXPECT_EQ((*batch)["completed"], 2);
  EXPECT_EQ(model.requests().size(), 3u);
  auto stranger = sendControlRequest(paths.controlSocket(),
                                     {{"command", "drafts.batch"},
                                      {"eventID", ids["eventID"]},
                                      {"contactIDs", {"8F2C1E4A-3B5D-4C6E-9F70-1A2B3C4D5E6F"}}});
  ASSERT_FALSE(stranger.ok());
  EXPECT_EQ(stranger.error().message, "None of the selected contacts belongs to Demo Expo");
}

TEST_F(DraftingEndToEndTest, WithoutAnAIDraftsAreWrittenFromTheTemplates) {
  auto demo = cli({"demo-data", "-n", "30", "--json"});
  ASSERT_EQ(demo.exitCode, 0) << demo.err;
  const auto ids = nlohmann::json::parse(demo.out);
  const std::string eventID = ids["eventID"];
  const std::string contactID = ids["contactIDs"][0];

  // A template with a mistake is refused by the command line and by the
  // companion, naming the mistake; nothing is kept.
  const std::string bad = "Subject: {event}\n\nHi {firstname},";
  auto refused = cli({"settings", "set", "followUpTemplateWarm", bad});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_THAT(refused.err, HasSubstr("Unknown placeholder {firstname} on line 3"));
  auto direct = sendControlRequest(
      paths.controlSocket(),
      {{"command", "settings.set"}, {"key", "followUpTemplateWarm"}, {"value", bad}});
  ASSERT_FALSE(direct.ok());
  EXPECT_THAT(direct.error().message, HasSubstr("{firstname}"));

  ASSERT_EQ(cli({"settings", "set", "senderName", "Dana Weber"}).exitCode, 0);
  ASSERT_EQ(cli({"settings", "set", "followUpTemplateWarm",
                 "Subject: After {event}\n\nHi {firstName},\n\nThanks!\n{myName}"})
                .exitCode,
            0);
  auto warm = cli({"drafts", "generate", contactID, "--template", "--tone", "warm"});
  ASSERT_EQ(warm.exitCode, 0) << warm.err;
  EXPECT_THAT(warm.out, HasSubstr(" from the template\n\nSubject: After Demo Expo\n\nHi "));
  EXPECT_THAT(warm.out, HasSubstr(",\n\nThanks!\nDana Weber\n"));
  const std::string draftID = warm.out.substr(warm.out.find("draft ") + 6, 36);
  EXPECT_THAT(cli({"drafts", "show", draftID}).out, HasSubstr("Status: draft  Tone: warm  "));

  // The batch writes from the templates, and says so before its progress.
  auto batch = cli({"drafts", "batch", eventID, "--tone", "formal"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  EXPECT_THAT(batch.out, HasSubstr("contacts\nWriting from templates: no AI endpoint is set up "
                                   "and the phone is not connected\n["));
  EXPECT_THAT(batch.out, HasSubstr("drafts written, 0 failed\n"));
  auto store = Store::open(paths.storeFile());
  ASSERT_TRUE(store);
  const auto drafts = (*store)->fetch<FollowUpDraft>();
  ASSERT_TRUE(drafts);
  std::size_t formal = 0;
  for (const auto& d : *drafts) {
    if (d.tone != "formal") continue;
    ++formal;
    EXPECT_EQ(d.subject, "Following our meeting at Demo Expo");
    EXPECT_TRUE(d.batchID);
  }
  EXPECT_GT(formal, 0u);
  EXPECT_LE(formal, 10u);
}

}  // namespace
}  // namespace qm
