#include "app/change_feed_module.h"

#include <asio.hpp>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "app/application.h"
#include "app/control_server.h"
#include "app/drafting_module.h"
#include "app/pairing_module.h"
#include "app/sync_module.h"
#include "common/date.h"
#include "common/enum_info.h"
#include "common/log.h"
#include "drafting/follow_up_generator.h"
#include "pairing/pairing_service.h"
#include "store/schema.h"
#include "store/store.h"
#include "sync/sync_service.h"

namespace qm {

namespace {

template <class T>
nlohmann::json orNull(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json();
}

}  // namespace

struct ChangeFeedModule::Timer {
  explicit Timer(asio::io_context& io) : timer(io) {}
  asio::steady_timer timer;
};

/// The store's change stamp of every table at the last tick.
struct ChangeFeedModule::StoreStamps {
  std::map<std::string, Store::ChangeStamp, std::less<>> tables;
};

ChangeFeedModule::ChangeFeedModule(CompanionContext context, PairingModule& pairing,
                                   SyncModule& sync, DraftingModule& drafting)
    : context_(context),
      pairing_(pairing),
      sync_(sync),
      drafting_(drafting),
      timer_(std::make_unique<Timer>(context.io)),
      stamps_(std::make_unique<StoreStamps>()) {}

ChangeFeedModule::~ChangeFeedModule() {
  stop();
}

Status ChangeFeedModule::start() {
  // The services only mark what changed; the tick sends it, once per kind.
  pairingSubscription_ = pairing_.service().changed().subscribe([this] {
    if (!subscribers_.empty()) pairingChanged_ = true;
  });
  syncSubscription_ = sync_.service().changed().subscribe([this] {
    if (!subscribers_.empty()) syncChanged_ = true;
  });
  draftsSubscription_ = drafting_.generator().changed().subscribe([this] {
    if (!subscribers_.empty()) draftsChanged_ = true;
  });
  return {};
}

void ChangeFeedModule::stop() {
  pairingSubscription_.reset();
  syncSubscription_.reset();
  draftsSubscription_.reset();
  timer_->timer.cancel();
  polling_ = false;
  auto subscribers = std::exchange(subscribers_, {});
  for (auto& [id, stream] : subscribers) stream->close();
}

void ChangeFeedModule::addStatus(nlohmann::json& status) const {
  status["feedSubscribers"] = subscribers_.size();
  status["feedPolling"] = polling_;
}

void ChangeFeedModule::registerCommands(ControlServer& control) {
  control.handle("subscribe", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
    const std::uint64_t id = nextID_++;
    auto stream = reply->openStream({{"subscribed", true}}, kMaxQueuedBytes,
                                    [this, id] { subscriberLeft(id); });
    if (!stream) return;
    if (subscribers_.empty()) {
      // What is already in the store is not news to a new subscriber.
      stamps_->tables.clear();
      pairingChanged_ = syncChanged_ = draftsChanged_ = false;
      if (context_.app.hasStore()) {
        for (const TableSchema* table : storeSchema()) {
          if (auto stamp = context_.app.store().changeStamp(table->table))
            stamps_->tables.emplace(std::string(table->table), *stamp);
        }
      }
    }
    subscribers_.emplace(id, std::move(stream));
    log::data().debug("Change feed: {} subscribers", subscribers_.size());
    schedule();
  });
}

void ChangeFeedModule::subscriberLeft(std::uint64_t id) {
  subscribers_.erase(id);
  if (subscribers_.empty()) {
    // Nobody listens: the store is no longer looked at.
    timer_->timer.cancel();
    polling_ = false;
  }
}

void ChangeFeedModule::schedule() {
  if (polling_ || subscribers_.empty()) return;
  polling_ = true;
  timer_->timer.expires_after(kTick);
  timer_->timer.async_wait([this](std::error_code ec) {
    if (ec) return;
    polling_ = false;
    tick();
    schedule();
  });
}

void ChangeFeedModule::tick() {
  if (context_.app.hasStore()) {
    nlohmann::json tables = nlohmann::json::array();
    Store& store = context_.app.store();
    for (const TableSchema* table : storeSchema()) {
      auto now = store.changeStamp(table->table);
      if (!now) {
        log::data().error("Change feed: {}", now.error().message);
        continue;
      }
      auto [before, added] = stamps_->tables.try_emplace(std::string(table->table), *now);
      if (added || before->second == *now) continue;
      before->second = *now;
      tables.push_back(table->table);
    }
    if (!tables.empty()) broadcast({{"event", "records"}, {"tables", std::move(tables)}});
  }
  if (std::exchange(pairingChanged_, false)) broadcast(pairingEvent());
  if (std::exchange(syncChanged_, false)) broadcast(syncEvent());
  if (std::exchange(draftsChanged_, false)) broadcast(draftsEvent());
}

void ChangeFeedModule::broadcast(const nlohmann::json& event) {
  // A subscriber dropped while sending leaves the map; walk a copy.
  std::vector<std::shared_ptr<ControlStream>> streams;
  streams.reserve(subscribers_.size());
  for (const auto& [id, stream] : subscribers_) streams.push_back(stream);
  for (const auto& stream : streams) {
    if (!stream->send(event))
      log::data().warn("Change feed: dropped a subscriber that stopped reading");
  }
}

nlohmann::json ChangeFeedModule::pairingEvent() {
  const PairingService& service = pairing_.service();
  return {{"event", "pairing"},
          {"state", rawValue(service.state())},
          {"stateText", displayLabel(service.state())},
          {"bonded", service.bond().has_value()},
          {"phone", orNull(service.peerDisplayName())}};
}

nlohmann::json ChangeFeedModule::syncEvent() {
  const SyncService& service = sync_.service();
  const auto& at = service.lastSyncAt();
  return {{"event", "sync"},
          {"isSyncing", service.isSyncing()},
          {"lastSyncAt", at ? nlohmann::json(formatISO8601(*at)) : nlohmann::json()},
          {"lastSyncError", orNull(service.lastSyncError())},
          {"queuedDeltas", service.deltaJournal().pendingEnvelopes().size()},
          {"pendingImportCount", service.pendingImportCount()},
          {"totalImportCount", service.totalImportCount()}};
}

nlohmann::json ChangeFeedModule::draftsEvent() {
  const FollowUpGenerator& generator = drafting_.generator();
  const BatchGenerationState& batch = generator.batchGenerationState();
  const auto& contact = generator.generatingDraftForContactID();
  return {
      {"event", "drafts"},
      {"generating", batch.generating},
      {"batchID", batch.generating ? nlohmann::json(batch.batchID.str()) : nlohmann::json()},
      {"total", batch.total},
      {"completed", batch.completed},
      {"failed", batch.failed},
      {"currentContactName", batch.currentContactName},
      {"fromTemplates", batch.generating && batch.fromTemplates},
      {"generatingDraftForContactID", contact ? nlohmann::json(contact->str()) : nlohmann::json()}};
}

}  // namespace qm
