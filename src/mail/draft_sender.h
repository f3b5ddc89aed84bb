#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "common/uuid.h"

namespace qm {

class AppSettings;
class KeychainStore;
class SmtpClient;
class Store;

/// One step of a sending, as it is reported.
struct DraftSendStep {
  enum class Kind { sending, sent, failed };
  Kind kind = Kind::sending;
  Uuid draftID;
  std::string contactName;
  /// Why it failed: the server's reason, or why it could not be sent at all.
  std::string error;
  /// Of the sending so far: how many drafts it has, and how many went or failed.
  std::size_t total = 0;
  std::size_t sent = 0;
  std::size_t failed = 0;
};

/// A draft that was not sent, and why.
struct DraftSendFailure {
  Uuid draftID;
  std::string contactName;
  std::string error;
};

/// How a sending ended.
struct DraftSendSummary {
  std::size_t total = 0;
  std::size_t sent = 0;
  std::vector<DraftSendFailure> failures;
  /// Cancelled between two drafts; `notAttempted` drafts were left as they were.
  bool cancelled = false;
  std::size_t notAttempted = 0;
};

/// Sends follow-up drafts through the user's mail server, one after another.
/// A draft is marked "sent" only once the server accepted its message; one
/// that fails keeps its status, and its failure is reported with the reason.
/// A sent or dismissed draft is not sent again. Lives on the main loop, like
/// the store it writes.
class DraftSender {
 public:
  using Progress = std::function<void(const DraftSendStep&)>;
  using Done = std::function<void(const DraftSendSummary&)>;

  DraftSender(Store& store, AppSettings& settings, KeychainStore& keychain, SmtpClient& client);
  ~DraftSender();
  DraftSender(const DraftSender&) = delete;
  DraftSender& operator=(const DraftSender&) = delete;

  /// Starts sending `draftIDs` (each once, in the order given); `progress` runs
  /// before and after each draft, `done` once at the end. Fails at once,
  /// with nothing sent, when a sending runs already, no draft is named, or
  /// the mail account or the sender address is not set up.
  Status start(std::vector<Uuid> draftIDs, Progress progress, Done done);
  /// Ends the running sending after the draft being sent.
  void cancel();
  bool isSending() const { return run_ != nullptr; }

 private:
  struct Run;
  void sendNext();
  void finished(const Uuid& draftID, const std::string& contactName, Status sent);
  void report(DraftSendStep::Kind kind, const Uuid& draftID, const std::string& contactName,
              const std::string& error = {});

  Store& store_;
  AppSettings& settings_;
  KeychainStore& keychain_;
  SmtpClient& client_;
  std::unique_ptr<Run> run_;
};

}  // namespace qm
