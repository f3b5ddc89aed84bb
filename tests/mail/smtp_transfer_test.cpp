// Conversations with a real mail server on this computer (aiosmtpd requiring
// TLS and a login): what goes through arrives with the envelope given, and
// what the server refuses, or cannot be trusted, comes back as a sentence with
// the server's own reply.

#include <gmock/gmock.h>

#include <atomic>

#include "mail/mail_account.h"
#include "mail/outgoing_mail.h"
#include "mail/smtp_transfer.h"
#include "support/local_smtp_server.h"
#include "support/status_matchers.h"

namespace qm {
namespace {

using test::IsError;
using test::LocalSMTPServer;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kRefused = "nobody@fairground.example";

MailAccount accountOf(const LocalSMTPServer& server,
                      MailSecurity security = MailSecurity::starttls) {
  return {"localhost",       server.port(),  security, LocalSMTPServer::kUser,
          server.password(), server.caFile()};
}

/// A message whose body holds a line starting with a dot, which SMTP must
/// carry through its end-of-data marker unharmed.
OutgoingMail mailTo(const std::string& recipient) {
  return {"From: <dana@fairground.example>\r\nTo: <" + recipient +
              ">\r\nSubject: Pumps\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nHello,\r\n"
              ".\r\n.. and more\r\n",
          "dana@fairground.example", recipient};
}

class SmtpTransferTest : public ::testing::Test {
 protected:
  std::atomic<bool> running_{false};
};

TEST_F(SmtpTransferTest, AMessageGoesThroughStartTlsOrTlsWithTheLoginAndEnvelopeGiven) {
  LocalSMTPServer starttls;
  ASSERT_OK(checkMailLogin(accountOf(starttls), running_));
  ASSERT_OK(transferMail(accountOf(starttls), mailTo("ana@example.com"), running_));
  ASSERT_TRUE(starttls.waitForMessages(1)) << starttls.errors();
  const auto message = starttls.received().at(0);
  EXPECT_EQ(message["mailFrom"], "dana@fairground.example");
  EXPECT_EQ(message["rcptTos"], nlohmann::json::array({"ana@example.com"}));
  EXPECT_EQ(message["login"], LocalSMTPServer::kUser);
  EXPECT_EQ(message["text"], "Hello,\n.\n.. and more\n");

  LocalSMTPServer tls({.implicitTLS = true, .refusedRecipient = {}});
  ASSERT_OK(transferMail(accountOf(tls, MailSecurity::tls), mailTo("ben@example.com"), running_));
  ASSERT_TRUE(tls.waitForMessages(1)) << tls.errors();
  EXPECT_EQ(tls.received().at(0)["rcptTos"], nlohmann::json::array({"ben@example.com"}));
}

TEST_F(SmtpTransferTest, WhatTheServerRefusesIsNamedWithItsReply) {
  LocalSMTPServer server({.implicitTLS = false, .refusedRecipient = kRefused});
  MailAccount wrong = accountOf(server);
  wrong.password = "not-" + server.password();
  const char* kRefusedLogin =
      "The mail server refused the login: 535 5.7.8 Authentication "
      "credentials invalid";
  EXPECT_THAT(checkMailLogin(wrong, running_), IsError(ErrorCode::permissionDenied, kRefusedLogin));
  EXPECT_THAT(transferMail(wrong, mailTo("ana@example.com"), running_),
              IsError(AllOf(HasSubstr(kRefusedLogin), Not(HasSubstr(wrong.password)))));

  EXPECT_THAT(transferMail(accountOf(server), mailTo(kRefused), running_),
              IsError(HasSubstr("The mail server refused the recipient " + std::string(kRefused) +
                                ": 550 5.1.1 <" + kRefused + ">: Recipient address rejected")));
  EXPECT_TRUE(server.received().empty());
}

TEST_F(SmtpTransferTest, TheCertificateIsCheckedAndTheExtraAuthorityTrusted) {
  LocalSMTPServer server;
  MailAccount untrusting = accountOf(server);
  untrusting.caFile.clear();
  EXPECT_THAT(checkMailLogin(untrusting, running_),
              IsError(ErrorCode::permissionDenied,
                      AllOf(HasSubstr("certificate is not trusted"), HasSubstr("--ca-file"))));
  MailAccount notACertificate = accountOf(server);
  notACertificate.caFile = server.passwordFile();
  EXPECT_THAT(checkMailLogin(notACertificate, running_),
              IsError(HasSubstr("holds no certificate")));
  EXPECT_OK(checkMailLogin(accountOf(server), running_));
}

TEST_F(SmtpTransferTest, PlainSmtpGoesOnlyToThisComputer) {
  LocalSMTPServer server;
  MailAccount remote = accountOf(server, MailSecurity::none);
  remote.host = "smtp.fairground.invalid";
  // Refused before the name is even looked up.
  EXPECT_THAT(transferMail(remote, mailTo("ana@example.com"), running_),
              IsError(ErrorCode::invalidArgument,
                      HasSubstr("Refusing to send mail to smtp.fairground.invalid without "
                                "encryption")));
  // This computer is reached, and this server will not take mail without TLS.
  EXPECT_THAT(
      transferMail(accountOf(server, MailSecurity::none), mailTo("ana@example.com"), running_),
      IsError(HasSubstr("530")));
}

}  // namespace
}  // namespace qm
