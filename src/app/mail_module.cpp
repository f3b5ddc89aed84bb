#include "app/mail_module.h"

#include <asio.hpp>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "app/control_server.h"
#include "app/mail_login_request.h"
#include "app/request_records.h"
#include "common/log.h"
#include "export/eml_export.h"
#include "mail/draft_sender.h"
#include "mail/smtp_client.h"
#include "settings/app_settings.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/record_enums.h"

namespace qm {

namespace {

constexpr const char* kStopping = "Quillmere is stopping";

/// The drafts a "drafts.send" request names: {draftIDs: [...]}, or the
/// approved drafts of an event's contacts with {approved: true, eventID}.
Result<std::vector<Uuid>> draftsToSend(Store& store, const nlohmann::json& request) {
  std::vector<Uuid> ids;
  if (const auto list = request.find("draftIDs"); list != request.end()) {
    if (!list->is_array()) return Error(ErrorCode::invalidArgument, "draftIDs must be a list");
    for (const auto& value : *list) {
      const auto id = value.is_string() ? Uuid::parse(value.get<std::string>()) : std::nullopt;
      if (!id) return Error(ErrorCode::invalidArgument, "Not a draft id: " + value.dump());
      ids.push_back(*id);
    }
    if (ids.empty()) return Error(ErrorCode::invalidArgument, "draftIDs names no draft");
    return ids;
  }
  if (request.value("approved", false) != true)
    return Error(ErrorCode::invalidArgument,
                 "drafts.send needs draftIDs, or approved: true and an eventID");
  const Event event = QM_TRY(recordIn<Event>(store, request, "eventID", "event"));
  for (const DraftMessage& message : QM_TRY(eventDraftsForExport(store, event.id)))
    if (message.draft.status == rawValue(DraftStatus::approved)) ids.push_back(message.draft.id);
  if (ids.empty())
    return Error(ErrorCode::notFound, "No approved drafts to send for " + event.name);
  return ids;
}

nlohmann::json stepJSON(const DraftSendStep& step) {
  static constexpr const char* kStates[] = {"sending", "sent", "failed"};
  nlohmann::json line = {{"draftID", step.draftID.str()},
                         {"contactName", step.contactName},
                         {"state", kStates[static_cast<int>(step.kind)]},
                         {"total", step.total},
                         {"sent", step.sent},
                         {"failed", step.failed}};
  if (!step.error.empty()) line["error"] = step.error;
  return line;
}

nlohmann::json summaryJSON(const DraftSendSummary& summary) {
  nlohmann::json failures = nlohmann::json::array();
  for (const DraftSendFailure& f : summary.failures)
    failures.push_back(
        {{"draftID", f.draftID.str()}, {"contactName", f.contactName}, {"error", f.error}});
  return {{"total", summary.total},
          {"sent", summary.sent},
          {"failed", summary.failures.size()},
          {"cancelled", summary.cancelled},
          {"notAttempted", summary.notAttempted},
          {"failures", std::move(failures)}};
}

}  // namespace

MailModule::MailModule(CompanionContext context) : context_(context) {}

MailModule::~MailModule() {
  stop();
}

Status MailModule::start() {
  asio::io_context& io = context_.io;
  client_ = std::make_unique<SmtpClient>(
      [&io](std::function<void()> task) { asio::post(io, std::move(task)); });
  QuillmereMacApp& app = context_.app;
  sender_ = std::make_unique<DraftSender>(app.store(), app.settings(), app.keychain(), *client_);
  return {};
}

void MailModule::stop() {
  if (sendReply_) std::exchange(sendReply_, {})->fail(kStopping);
  // The client first: once it is gone no transfer reports back to the sender.
  client_.reset();
  sender_.reset();
}

void MailModule::resetAllData() {
  // The password goes with the application's reset, with the other credentials.
  if (sender_) sender_->cancel();
}

void MailModule::registerCommands(ControlServer& control) {
  registerAccountCommands(control);

  control.handle("drafts.send", [this](const nlohmann::json& request,
                                       std::shared_ptr<ControlReply> reply) {
    if (!sender_) return reply->fail(kStopping);
    auto ids = draftsToSend(context_.app.store(), request);
    if (!ids) return reply->fail(ids.error().message);
    Status started = sender_->start(
        std::move(*ids), [reply](const DraftSendStep& step) { reply->progress(stepJSON(step)); },
        [this, reply](const DraftSendSummary& summary) {
          if (sendReply_ == reply) sendReply_.reset();
          reply->succeed(summaryJSON(summary));
        });
    if (!started) return reply->fail(started.error().message);
    // The sending may have ended already (every draft refused before sending).
    if (!sender_->isSending()) return;
    sendReply_ = reply;
    reply->whenClientGone([this] {
      if (sender_) sender_->cancel();
    });
  });

  control.handle("drafts.send.cancel",
                 [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                   const bool sending = sender_ && sender_->isSending();
                   if (sending) sender_->cancel();
                   reply->succeed({{"cancelled", sending}});
                 });
}

void MailModule::registerAccountCommands(ControlServer& control) {
  control.handle(
      "mail.login", [this](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
        if (!client_) return reply->fail(kStopping);
        auto login = readMailLogin(request, context_.app.keychain());
        if (!login) return reply->fail(login.error().message);
        // Kept only after the server took the login, unless the client said not to check.
        auto keep = [this, reply, login = *login](Status checked) {
          if (!checked) return reply->fail(checked.error().message);
          QuillmereMacApp& app = context_.app;
          for (const auto& [key, value] : login.settings)
            if (Status set = app.settings().set(key, value); !set)
              return reply->fail(set.error().message);
          const MailAccount& account = login.account;
          const bool kept = account.user.empty()
                                ? app.keychain().remove(kMailPasswordKey)
                                : app.keychain().save(kMailPasswordKey, account.password);
          if (!kept) return reply->fail("Cannot keep the mail server's password in the keychain");
          log::mail().info("Mail account set: {}:{} ({}), {}", account.host, account.port,
                           mailSecurityName(account.security),
                           account.user.empty() ? "no login" : "user " + account.user);
          nlohmann::json answer = mailStatusJSON(app.settings(), app.keychain());
          answer["checked"] = login.check;
          reply->succeed(answer);
        };
        if (!login->check) return keep({});
        client_->checkLogin(login->account, std::move(keep));
      });

  control.handle("mail.status", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
    reply->succeed(mailStatusJSON(context_.app.settings(), context_.app.keychain()));
  });

  control.handle("mail.logout", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
    QuillmereMacApp& app = context_.app;
    const auto held = app.keychain().load(kMailPasswordKey);
    const bool hadAccount = !app.settings().smtpHost().empty() || (held && !held->empty());
    if (!app.keychain().remove(kMailPasswordKey))
      return reply->fail("Cannot remove the mail server's password from the keychain");
    for (const char* key : {"smtpHost", "smtpPort", "smtpSecurity", "smtpUser", "smtpCAFile"})
      if (Status removed = app.defaults().remove(key); !removed)
        return reply->fail(removed.error().message);
    log::mail().info("Mail account forgotten");
    nlohmann::json answer = mailStatusJSON(app.settings(), app.keychain());
    answer["removed"] = hadAccount;
    reply->succeed(answer);
  });
}

}  // namespace qm
