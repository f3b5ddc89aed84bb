#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "app/companion_module.h"
#include "common/signal.h"
#include "common/uuid.h"

namespace qm {

class ControlReply;
class FollowUpGenerator;
class MacProxyService;
class SyncModule;

/// Follow-up drafting in the running companion: the AI endpoint client and the
/// generator, which reaches the phone through the sync module's service. A
/// batch cut short by quitting resumes at start-up, or as soon as a way to
/// generate (the endpoint, or the paired phone) is there. Commands:
/// "drafts.generate" {contactID, tone?, regenerate?, template?: true for the
/// tone's template, answered at once}, "drafts.batch" (progress per contact,
/// with "fromTemplates" and a "notice" when neither the endpoint nor the phone
/// can write), "drafts.cancel", "drafts.update"; and the endpoint's "ai.login"
/// {endpoint, endpointKind, model?, token?}, "ai.logout" and "ai.test" (one
/// short real request).
class DraftingModule final : public CompanionModule {
 public:
  /// `sync` is started before this module and outlives it.
  DraftingModule(CompanionContext context, SyncModule& sync);
  ~DraftingModule() override;
  DraftingModule(const DraftingModule&) = delete;
  DraftingModule& operator=(const DraftingModule&) = delete;

  std::string_view name() const override { return "drafting"; }
  void registerCommands(ControlServer& control) override;
  Status start() override;
  void stop() override;
  void addStatus(nlohmann::json& status) const override;

  /// The draft generator (between `start` and `stop`).
  FollowUpGenerator& generator() { return *generator_; }

 private:
  void registerEndpointCommands(ControlServer& control);
  void resumeWhenPossible();
  void reportBatchProgress();

  CompanionContext context_;
  SyncModule& sync_;
  std::unique_ptr<MacProxyService> endpoint_;
  std::unique_ptr<FollowUpGenerator> generator_;
  Subscription syncSubscription_;
  Subscription generatorSubscription_;
  bool wasPaired_ = false;
  // The batch that resumed a marker's batch (for as long as it runs): its id,
  // the event's name and how many of its contacts were still without a draft.
  std::optional<std::tuple<Uuid, std::string, std::size_t>> resumed_;
  // The "drafts.batch" client following the running batch.
  std::shared_ptr<ControlReply> batchReply_;
};

}  // namespace qm
