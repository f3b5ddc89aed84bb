#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/companion_module.h"
#include "common/signal.h"

namespace qm {

class ControlReply;
struct Contact;
class PairingModule;
class PairingPhoneChannel;
class SyncService;

/// The sync service in the running companion: it receives every checked
/// message but the handshake, sends through the pairing module's service,
/// drains the journal whenever the phone becomes paired and ends waiting relay
/// requests when it goes away. Commands: "sync.now", "events.remote",
/// "events.import", "events.import.reset" and "contact.push".
class SyncModule final : public CompanionModule {
 public:
  /// How long "events.remote" waits for the phone's list.
  static constexpr std::chrono::seconds kEventListTime{15};
  /// How long "events.import" waits for the next snapshot.
  static constexpr std::chrono::seconds kImportStepTime{60};

  /// `pairing` is started before this module and outlives it.
  SyncModule(CompanionContext context, PairingModule& pairing);
  ~SyncModule() override;
  SyncModule(const SyncModule&) = delete;
  SyncModule& operator=(const SyncModule&) = delete;

  std::string_view name() const override { return "sync"; }
  void registerCommands(ControlServer& control) override;
  Status start() override;
  void stop() override;
  void resetAllData() override;
  void addStatus(nlohmann::json& status) const override;

  /// The running service (between `start` and `stop`).
  SyncService& service() { return *service_; }

  /// What became of a contact edited here and pushed to the phone: "sent",
  /// "queued" (kept until the paired phone is back; `message` says it is not
  /// connected) or "failed" (`message` says why: no phone paired, or the
  /// contact could not be encoded).
  struct Push {
    std::string outcome;
    std::string message;
  };
  Push pushContact(const Contact& contact);
  /// Pushes the contacts of one bulk edit: {"notSent": how many could not be
  /// sent now, "queued": how many of those wait for the phone's return}.
  nlohmann::json pushContacts(std::span<const Contact> contacts);

 private:
  struct Waiting;

  void pairingChanged();
  void serviceChanged();
  void answerEventList();
  void followImport();
  std::shared_ptr<Waiting> wait(std::shared_ptr<ControlReply> reply, std::chrono::seconds time,
                                std::string timeoutText);

  CompanionContext context_;
  PairingModule& pairing_;
  std::unique_ptr<PairingPhoneChannel> channel_;
  std::unique_ptr<SyncService> service_;
  Subscription pairingSubscription_;
  Subscription serviceSubscription_;
  bool wasPaired_ = false;
  /// The bonded phone (its device identifier) the journal's envelopes are meant for.
  std::optional<std::string> queuedFor_;
  // "events.remote" clients waiting for the list; the one "events.import" client.
  std::vector<std::shared_ptr<Waiting>> listWaiting_;
  std::shared_ptr<Waiting> importWaiting_;
};

}  // namespace qm
