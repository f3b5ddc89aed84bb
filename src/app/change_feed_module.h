#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "app/companion_module.h"
#include "common/signal.h"

namespace qm {

class ControlStream;
class DraftingModule;
class PairingModule;
class SyncModule;

/// The change feed the desktop window follows. Command "subscribe" answers
/// {"subscribed": true} and keeps the connection open, writing one line per
/// change: {"event": "records", "tables": [...]}, {"event": "pairing", ...},
/// {"event": "sync", ...} and {"event": "drafts", ...}. While anyone is
/// subscribed, a timer looks at the store's change stamps (the companion's own
/// writes per table; another process's commit, which names no table, counts
/// as every table) and at what the services signalled since the last tick, so
/// a burst becomes at most one event of each kind per tick. A subscriber whose
/// unread lines pass `kMaxQueuedBytes` is dropped, never waited for.
class ChangeFeedModule final : public CompanionModule {
 public:
  static constexpr std::chrono::milliseconds kTick{250};
  static constexpr std::size_t kMaxQueuedBytes = 1 << 20;

  /// The other modules are started before this one and outlive it.
  ChangeFeedModule(CompanionContext context, PairingModule& pairing, SyncModule& sync,
                   DraftingModule& drafting);
  ~ChangeFeedModule() override;
  ChangeFeedModule(const ChangeFeedModule&) = delete;
  ChangeFeedModule& operator=(const ChangeFeedModule&) = delete;

  std::string_view name() const override { return "feed"; }
  void registerCommands(ControlServer& control) override;
  Status start() override;
  void stop() override;
  /// "feedSubscribers" and "feedPolling".
  void addStatus(nlohmann::json& status) const override;

 private:
  struct Timer;
  struct StoreStamps;

  void subscriberLeft(std::uint64_t id);
  void schedule();
  void tick();
  void broadcast(const nlohmann::json& event);
  nlohmann::json pairingEvent();
  nlohmann::json syncEvent();
  nlohmann::json draftsEvent();

  CompanionContext context_;
  PairingModule& pairing_;
  SyncModule& sync_;
  DraftingModule& drafting_;
  std::unique_ptr<Timer> timer_;
  std::unique_ptr<StoreStamps> stamps_;
  std::map<std::uint64_t, std::shared_ptr<ControlStream>> subscribers_;
  std::uint64_t nextID_ = 1;
  bool polling_ = false;
  bool pairingChanged_ = false;
  bool syncChanged_ = false;
  bool draftsChanged_ = false;
  Subscription pairingSubscription_;
  Subscription syncSubscription_;
  Subscription draftsSubscription_;
};

}  // namespace qm
