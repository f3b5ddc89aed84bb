#include "mail/draft_sender.h"

#include <algorithm>
#include <optional>

#include "common/log.h"
#include "export/eml_export.h"
#include "mail/mail_account.h"
#include "mail/outgoing_mail.h"
#include "mail/smtp_client.h"
#include "settings/app_settings.h"
#include "store/follow_up_draft.h"
#include "store/record_enums.h"
#include "store/store.h"

namespace qm {

namespace {

/// A draft made ready to send, or why it cannot be; the contact's name either way.
struct Prepared {
  std::string contactName;
  Result<OutgoingMail> mail;
};

Prepared prepare(Store& store, const AppSettings& settings, const Uuid& draftID) {
  auto message = loadDraftMessage(store, draftID);
  if (!message) return {"Unknown", message.error()};
  std::string name = draftContactName(*message);
  const std::string& status = message->draft.status;
  if (status == rawValue(DraftStatus::sent))
    return {name,
            Error(ErrorCode::failedPrecondition, "The draft to " + name + " was sent already")};
  if (status == rawValue(DraftStatus::dismissed))
    return {name, Error(ErrorCode::failedPrecondition,
                        "The draft to " + name +
                            " is dismissed: mark it as a draft or approved to send it")};
  return {name, outgoingMail(*message, settings)};
}

}  // namespace

struct DraftSender::Run {
  std::vector<Uuid> draftIDs;
  std::size_t next = 0;
  MailAccount account;
  Progress progress;
  Done done;
  DraftSendSummary summary;
  bool cancelled = false;
};

DraftSender::DraftSender(Store& store, AppSettings& settings, KeychainStore& keychain,
                         SmtpClient& client)
    : store_(store), settings_(settings), keychain_(keychain), client_(client) {}

DraftSender::~DraftSender() = default;

Status DraftSender::start(std::vector<Uuid> draftIDs, Progress progress, Done done) {
  if (run_)
    return Error(ErrorCode::failedPrecondition,
                 "Drafts are being sent already: wait for them, or cancel");
  std::vector<Uuid> unique;
  for (const Uuid& id : draftIDs)
    if (std::find(unique.begin(), unique.end(), id) == unique.end()) unique.push_back(id);
  if (unique.empty()) return Error(ErrorCode::invalidArgument, "No draft to send");
  MailAccount account = QM_TRY(readMailAccount(settings_, keychain_));
  QM_TRY(senderAddress(settings_));

  run_ = std::make_unique<Run>();
  run_->summary.total = unique.size();
  run_->draftIDs = std::move(unique);
  run_->account = std::move(account);
  run_->progress = std::move(progress);
  run_->done = std::move(done);
  log::mail().info("Sending {} draft(s) through {}:{}", run_->summary.total, run_->account.host,
                   run_->account.port);
  sendNext();
  return {};
}

void DraftSender::cancel() {
  if (run_) run_->cancelled = true;
}

void DraftSender::report(DraftSendStep::Kind kind, const Uuid& draftID,
                         const std::string& contactName, const std::string& error) {
  const DraftSendSummary& summary = run_->summary;
  if (run_->progress)
    run_->progress(
        {kind, draftID, contactName, error, summary.total, summary.sent, summary.failures.size()});
}

void DraftSender::sendNext() {
  Run& run = *run_;
  while (run.next < run.draftIDs.size() && !run.cancelled) {
    const Uuid id = run.draftIDs[run.next++];
    Prepared prepared = prepare(store_, settings_, id);
    if (!prepared.mail) {
      finished(id, prepared.contactName, prepared.mail.error());
      return;
    }
    report(DraftSendStep::Kind::sending, id, prepared.contactName);
    client_.send(run.account, std::move(*prepared.mail),
                 [this, id, name = prepared.contactName](Status sent) {
                   if (run_) finished(id, name, std::move(sent));
                 });
    return;
  }
  auto ended = std::move(run_);
  if (ended->cancelled && ended->next < ended->draftIDs.size()) {
    ended->summary.cancelled = true;
    ended->summary.notAttempted = ended->draftIDs.size() - ended->next;
  }
  log::mail().info("Sending ended: {} sent, {} failed{}", ended->summary.sent,
                   ended->summary.failures.size(),
                   ended->summary.cancelled ? ", the rest cancelled" : "");
  if (ended->done) ended->done(ended->summary);
}

void DraftSender::finished(const Uuid& draftID, const std::string& contactName, Status sent) {
  if (sent) {
    // Only the status is written: edits saved while the message was on its
    // way stay as they are.
    Status marked = [&]() -> Status {
      auto draft = QM_TRY(store_.find<FollowUpDraft>(draftID));
      if (!draft) return Error(ErrorCode::notFound, "it was deleted meanwhile");
      draft->status = rawValue(DraftStatus::sent);
      return store_.updateOnly(*draft, {"status"});
    }();
    if (marked) {
      ++run_->summary.sent;
      report(DraftSendStep::Kind::sent, draftID, contactName);
      sendNext();
      return;
    }
    log::mail().error("The draft {} was sent but cannot be marked sent: {}", draftID.str(),
                      marked.error().message);
    sent = Error(ErrorCode::dataLoss,
                 "The message to " + contactName +
                     " was sent, but the draft cannot be marked sent: " + marked.error().message);
  }
  const std::string& reason = sent.error().message;
  log::mail().warn("The draft to {} was not sent: {}", contactName, reason);
  run_->summary.failures.push_back({draftID, contactName, reason});
  report(DraftSendStep::Kind::failed, draftID, contactName, reason);
  sendNext();
}

}  // namespace qm
