// Sending follow-up drafts through a real mail server on this computer
// (aiosmtpd requiring STARTTLS and a login, with a certificate made for the
// test and trusted through --ca-file), driven as a user does: `quillmere mail`
// and `quillmere drafts send` against the running companion.

#include <gmock/gmock.h>

#include "app/companion_fixture.h"
#include "common/app_paths.h"
#include "store/contact.h"
#include "store/follow_up_draft.h"
#include "store/store.h"
#include "support/local_smtp_server.h"
#include "support/status_matchers.h"

namespace qm::test {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kSender = "dana@fairground.example";

class MailEndToEndTest : public CompanionFixture {
 protected:
  void SetUp() override {
    CompanionFixture::SetUp();
    if (HasFatalFailure()) return;
    auto made = cli({"demo-data", "--json", "-n", "5", "--event", "Valve Expo"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const json ids = json::parse(made.out);
    for (const auto& id : ids["contactIDs"])
      contactIDs.push_back(*Uuid::parse(id.get<std::string>()));
    auto opened = Store::open(paths.storeFile());
    ASSERT_OK(opened);
    store = std::move(*opened);
  }

  /// A draft to the `index`th demo contact (person<index>@example.com).
  Uuid addDraft(std::size_t index, const std::string& status = "approved") {
    FollowUpDraft draft = FollowUpDraft::create(
        "Valves at the show", "Hello,\n\nthanks for **visiting** us.", contactIDs.at(index));
    draft.status = status;
    EXPECT_OK(store->insert(draft));
    return draft.id;
  }
  std::string statusOf(const Uuid& draftID) {
    return (*store->find<FollowUpDraft>(draftID))->status;
  }
  std::string nameOf(std::size_t index) {
    return (*store->find<Contact>(contactIDs.at(index)))->fullName();
  }

  CommandResult logIn(const LocalSMTPServer& server, const std::string& passwordInput = "") {
    std::vector<std::string> args{"mail",      "login",
                                  "--host",    "localhost",
                                  "--port",    std::to_string(server.port()),
                                  "--user",    LocalSMTPServer::kUser,
                                  "--ca-file", server.caFile().string()};
    if (passwordInput.empty()) {
      args.push_back("--password-file");
      args.push_back(server.passwordFile().string());
    }
    return cli(args, passwordInput);
  }
  void setSender() {
    ASSERT_EQ(cli({"settings", "set", "senderEmail", kSender}).exitCode, 0);
    ASSERT_EQ(cli({"settings", "set", "displayName", "Dana Weber"}).exitCode, 0);
    ASSERT_EQ(cli({"settings", "set", "emailSignature", "Dana\nFairground Pumps"}).exitCode, 0);
  }

  std::vector<Uuid> contactIDs;
  std::unique_ptr<Store> store;
};

TEST_F(MailEndToEndTest, TheAccountIsCheckedKeptAndADraftSentWithTheUsersAddress) {
  LocalSMTPServer server;
  // Plain SMTP leaves this computer for nobody, and nothing is kept.
  auto plain = cli({"mail", "login", "--host", "smtp.fairground.example", "--security", "none"});
  EXPECT_EQ(plain.exitCode, 1);
  EXPECT_THAT(plain.err, HasSubstr("Refusing to send mail to smtp.fairground.example without "
                                   "encryption"));
  auto refused = logIn(server, "not-the-password\n");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err,
            "The mail server refused the login: 535 5.7.8 Authentication credentials invalid\n");
  EXPECT_THAT(cli({"mail", "status"}).out, HasSubstr("server: (none)"));

  auto loggedIn = logIn(server);
  ASSERT_EQ(loggedIn.exitCode, 0) << loggedIn.err << server.errors();
  EXPECT_THAT(loggedIn.out, HasSubstr("password: stored"));

  // No sender address: the draft stays, and the error says where to set one.
  const Uuid draftID = addDraft(0, "draft");
  auto unsent = cli({"drafts", "send", draftID.str()});
  EXPECT_EQ(unsent.exitCode, 1);
  EXPECT_THAT(unsent.err, HasSubstr("quillmere settings set senderEmail"));
  EXPECT_EQ(statusOf(draftID), "draft");

  setSender();
  auto sent = cli({"drafts", "send", draftID.str()});
  ASSERT_EQ(sent.exitCode, 0) << sent.out << sent.err;
  EXPECT_THAT(sent.out, HasSubstr("1/1  sent: " + nameOf(0)));
  ASSERT_TRUE(server.waitForMessages(1)) << server.errors();
  const json message = server.received().at(0);
  EXPECT_EQ(message["mailFrom"], kSender);
  EXPECT_EQ(message["from"], kSender);
  EXPECT_EQ(message["fromName"], "Dana Weber");
  EXPECT_EQ(message["rcptTos"], json::array({"person0@example.com"}));
  EXPECT_EQ(message["to"], "person0@example.com");
  EXPECT_EQ(message["subject"], "Valves at the show");
  EXPECT_EQ(message["login"], LocalSMTPServer::kUser);
  EXPECT_FALSE(message["unsent"].get<bool>());
  EXPECT_THAT(message["text"].get<std::string>(), HasSubstr("visiting"));
  EXPECT_THAT(message["text"].get<std::string>(), HasSubstr("Fairground Pumps"));
  EXPECT_EQ(statusOf(draftID), "sent");

  // The password is in the keychain and nowhere a person or a program reads.
  const std::string password = server.password();
  auto status = cli({"mail", "status"});
  EXPECT_THAT(status.out, HasSubstr("ready: yes"));
  for (const std::string& text :
       {status.out, fileText(paths.defaultsFile()), fileText(paths.logFile()), sent.out})
    EXPECT_THAT(text, Not(HasSubstr(password)));
  EXPECT_THAT(fileText(paths.keychainFile()), HasSubstr(password));

  auto loggedOut = cli({"mail", "logout"});
  EXPECT_EQ(loggedOut.out, "Forgot the mail account and its password.\n");
  EXPECT_THAT(fileText(paths.keychainFile()), Not(HasSubstr(password)));
  EXPECT_THAT(cli({"mail", "status"}).out, HasSubstr("password: none"));
}

TEST_F(MailEndToEndTest, ApprovedDraftsGoOneAfterAnotherAndEachFailureSaysWhy) {
  LocalSMTPServer server({.implicitTLS = false, .refusedRecipient = "person1@example.com"});
  ASSERT_EQ(logIn(server).exitCode, 0) << server.errors();
  setSender();
  const Uuid going = addDraft(0);
  const Uuid refusedByServer = addDraft(1);
  const Uuid withoutAddress = addDraft(2);
  Contact noEmail = **store->find<Contact>(contactIDs[2]);
  noEmail.email.reset();
  ASSERT_OK(store->update(noEmail));
  const Uuid notApproved = addDraft(3, "draft");
  FollowUpDraft readdressed = **store->find<FollowUpDraft>(addDraft(4));
  readdressed.recipientEmail = "purchasing@example.com";
  ASSERT_OK(store->update(readdressed));

  auto sent = cli({"drafts", "send", "--approved", "--event", "Valve Expo"});
  EXPECT_EQ(sent.exitCode, 1);
  EXPECT_THAT(sent.out, HasSubstr("1/4  sent: " + nameOf(0)));
  EXPECT_THAT(sent.out, HasSubstr("2/4  failed: " + nameOf(1) +
                                  ": The mail server refused the recipient person1@example.com: "
                                  "550 5.1.1 <person1@example.com>: Recipient address rejected"));
  EXPECT_THAT(sent.out, HasSubstr("The draft to " + nameOf(2) + " cannot be sent: " + nameOf(2) +
                                  " has no e-mail address"));
  EXPECT_THAT(sent.out, HasSubstr("4/4  sent: " + nameOf(4)));
  EXPECT_THAT(sent.out, HasSubstr("Sent 2 of 4 drafts."));
  EXPECT_EQ(statusOf(going), "sent");
  EXPECT_EQ(statusOf(refusedByServer), "approved");
  EXPECT_EQ(statusOf(withoutAddress), "approved");
  EXPECT_EQ(statusOf(notApproved), "draft");
  EXPECT_EQ(statusOf(readdressed.id), "sent");
  ASSERT_TRUE(server.waitForMessages(2));
  const auto messages = server.received();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1]["rcptTos"], json::array({"purchasing@example.com"}));

  // A sent draft is not sent twice.
  auto again = cli({"drafts", "send", going.str()});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_THAT(again.out, HasSubstr("was sent already"));
}

TEST_F(MailEndToEndTest, ASendingIsCancelledBetweenDrafts) {
  LocalSMTPServer server;
  ASSERT_EQ(logIn(server).exitCode, 0) << server.errors();
  setSender();
  const std::vector<Uuid> drafts{addDraft(0), addDraft(1), addDraft(2), addDraft(3)};
  json ids = json::array();
  for (const Uuid& id : drafts) ids.push_back(id.str());

  // Cancelled while the first is on its way: it still goes, the last never.
  bool cancelled = false;
  auto summary = sendControlRequest(
      paths.controlSocket(), {{"command", "drafts.send"}, {"draftIDs", ids}},
      [&](const json& step) {
        if (step["state"] != "sending" || std::exchange(cancelled, true)) return;
        EXPECT_OK(sendControlRequest(paths.controlSocket(), {{"command", "drafts.send.cancel"}}));
      });
  ASSERT_OK(summary);
  const auto sent = (*summary)["sent"].get<std::size_t>();
  EXPECT_EQ((*summary)["cancelled"], true);
  EXPECT_GE(sent, 1u);
  EXPECT_EQ((*summary)["notAttempted"].get<std::size_t>(), drafts.size() - sent);
  EXPECT_EQ(statusOf(drafts.front()), "sent");
  EXPECT_EQ(statusOf(drafts.back()), "approved");
  EXPECT_EQ(server.received().size(), sent);
}

}  // namespace
}  // namespace qm::test
