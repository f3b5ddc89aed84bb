#pragma once

#include <memory>
#include <string_view>

#include "app/companion_module.h"

namespace qm {

class ControlReply;
class DraftSender;
class SmtpClient;

/// Sending follow-up drafts through the user's own mail server. Commands:
/// "mail.login" {host, port?, security?, user?, password?, caFile?, check?}
/// (checked, the login tried on the server unless check is false, then kept:
/// the password in the keychain, the rest in the settings), "mail.status"
/// (never the password), "mail.logout" (forgets the password and the account),
/// "drafts.send" {draftIDs} or {approved: true, eventID} (one after another, a
/// progress line before and after each, a summary listing the failures) and
/// "drafts.send.cancel" (after the draft being sent; a client that goes away
/// cancels its sending the same way).
class MailModule final : public CompanionModule {
 public:
  explicit MailModule(CompanionContext context);
  ~MailModule() override;
  MailModule(const MailModule&) = delete;
  MailModule& operator=(const MailModule&) = delete;

  std::string_view name() const override { return "mail"; }
  void registerCommands(ControlServer& control) override;
  Status start() override;
  void stop() override;
  void resetAllData() override;

 private:
  void registerAccountCommands(ControlServer& control);

  CompanionContext context_;
  std::unique_ptr<SmtpClient> client_;
  std::unique_ptr<DraftSender> sender_;
  std::shared_ptr<ControlReply> sendReply_;
};

}  // namespace qm
