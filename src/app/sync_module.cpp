#include "app/sync_module.h"

#include <asio.hpp>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "app/control_server.h"
#include "app/message_dispatcher.h"
#include "app/pairing_module.h"
#include "app/pairing_phone_channel.h"
#include "common/log.h"
#include "pairing/pairing_service.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/store.h"
#include "sync/sync_merge_engine.h"
#include "sync/sync_service.h"

namespace qm {

namespace {

/// Every message type the sync service takes: all but the handshake, which is
/// the pairing service's.
std::vector<SyncMessageType> syncMessageTypes() {
  std::vector<SyncMessageType> types;
  for (const auto& c : EnumInfo<SyncMessageType>::cases)
    if (c.value != SyncMessageType::pairHandshake) types.push_back(c.value);
  return types;
}

/// A UUID from a request, or the error to answer with.
Result<Uuid> uuidFrom(const nlohmann::json& value, std::string_view what) {
  if (value.is_string()) {
    if (auto id = Uuid::parse(value.get_ref<const std::string&>())) return *id;
  }
  return Error(ErrorCode::invalidArgument,
               std::string(what) + " is not an identifier (a UUID): " + value.dump());
}

}  // namespace

struct SyncModule::Waiting {
  std::shared_ptr<ControlReply> reply;
  std::unique_ptr<asio::steady_timer> timeout;
  std::int64_t lastPending = 0;
};

SyncModule::SyncModule(CompanionContext context, PairingModule& pairing)
    : context_(context), pairing_(pairing) {}

SyncModule::~SyncModule() {
  stop();
}

Status SyncModule::start() {
  QuillmereMacApp& app = context_.app;
  channel_ = std::make_unique<PairingPhoneChannel>(pairing_.service());
  asio::io_context& io = context_.io;
  Scheduler schedule = [&io](std::chrono::milliseconds delay, std::function<void()> task) {
    auto timer = std::make_shared<asio::steady_timer>(io, delay);
    // Also when the wait is cancelled: the task only resets state.
    timer->async_wait([timer, task = std::move(task)](std::error_code) { task(); });
  };
  PostToLoop post = [&io](std::function<void()> task) { asio::post(io, std::move(task)); };
  service_ = std::make_unique<SyncService>(SyncServiceParts{
      app.store(), app.pipeline(), app.settings(), app.deviceIdentity(), *channel_,
      app.paths().applicationSupport, app.paths().documents, std::move(schedule), std::move(post)});
  for (SyncMessageType type : syncMessageTypes()) {
    context_.messages.handle(type, [this](CheckedMessage& message) {
      service_->handleMessage(std::move(message.envelope));
    });
  }
  serviceSubscription_ = service_->changed().subscribe([this] { serviceChanged(); });
  pairingSubscription_ = pairing_.service().changed().subscribe([this] { pairingChanged(); });
  wasPaired_ = channel_->isPaired();
  if (const auto& bond = pairing_.service().bond()) queuedFor_ = bond->peerDeviceUUID;
  return {};
}

void SyncModule::resetAllData() {
  if (service_) service_->forgetQueuedDeltas();
}

void SyncModule::stop() {
  if (importWaiting_) std::exchange(importWaiting_, {})->reply->fail("Quillmere is stopping");
  for (auto& waiting : std::exchange(listWaiting_, {}))
    waiting->reply->fail("Quillmere is stopping");
  if (service_) {
    for (SyncMessageType type : syncMessageTypes()) context_.messages.remove(type);
  }
  pairingSubscription_.reset();
  serviceSubscription_.reset();
  service_.reset();
  channel_.reset();
}

void SyncModule::addStatus(nlohmann::json& status) const {
  if (!service_) return;
  status["isSyncing"] = service_->isSyncing();
  if (service_->lastSyncAt()) status["lastSyncAt"] = formatISO8601(*service_->lastSyncAt());
  if (service_->lastSyncError()) status["lastSyncError"] = *service_->lastSyncError();
  status["queuedDeltas"] = service_->deltaJournal().pendingEnvelopes().size();
  // The name the phone's records are credited to (in a contact's "alsoMetBy"
  // among them): the user's own phone, which the window never lists as a teammate.
  status["syncSenderName"] = senderName(channel_->pairedPhoneName());
}

void SyncModule::pairingChanged() {
  const bool paired = channel_->isPaired();
  const bool was = std::exchange(wasPaired_, paired);
  if (paired && !was) service_->drainQueuedDeltas();
  if (!paired && was) service_->failPendingRelays();
  // A forgotten phone (or another one paired in its place) must not receive
  // what was queued for it.
  const auto& bond = pairing_.service().bond();
  const std::optional<std::string> phone =
      bond ? std::optional(bond->peerDeviceUUID) : std::nullopt;
  if (phone != queuedFor_) {
    if (queuedFor_ && !service_->deltaJournal().pendingEnvelopes().empty())
      service_->forgetQueuedDeltas();
    queuedFor_ = phone;
  }
}

void SyncModule::serviceChanged() {
  answerEventList();
  followImport();
}

std::shared_ptr<SyncModule::Waiting> SyncModule::wait(std::shared_ptr<ControlReply> reply,
                                                      std::chrono::seconds time,
                                                      std::string timeoutText) {
  auto waiting = std::make_shared<Waiting>();
  waiting->reply = std::move(reply);
  waiting->timeout = std::make_unique<asio::steady_timer>(context_.io, time);
  std::weak_ptr<Waiting> weak = waiting;
  waiting->timeout->async_wait([this, weak, text = std::move(timeoutText)](std::error_code ec) {
    auto w = weak.lock();
    if (ec || !w) return;
    std::erase(listWaiting_, w);
    if (importWaiting_ == w) {
      // The events still awaited fail with the text; `followImport` answers.
      service_->abandonImport(text);
      return;
    }
    w->reply->fail(text);
  });
  return waiting;
}

void SyncModule::answerEventList() {
  if (listWaiting_.empty() || service_->isLoadingEventList()) return;
  nlohmann::json events = nlohmann::json::array();
  for (const EventListItem& item : service_->availableEvents()) {
    nlohmann::json e = {
        {"id", item.id.str()}, {"name", item.name}, {"contactCount", item.contactCount}};
    if (item.startDate) e["startDate"] = formatISO8601(*item.startDate);
    if (item.endDate) e["endDate"] = formatISO8601(*item.endDate);
    if (item.location) e["location"] = *item.location;
    auto stored = context_.app.store().count<Event>({Match{"id", item.id}});
    e["alreadyOnThisComputer"] = stored.ok() && *stored > 0;
    events.push_back(std::move(e));
  }
  for (auto& waiting : std::exchange(listWaiting_, {}))
    waiting->reply->succeed({{"events", events}});
}

void SyncModule::followImport() {
  if (!importWaiting_) return;
  const std::int64_t pending = service_->pendingImportCount();
  const std::int64_t total = service_->totalImportCount();
  if (pending == importWaiting_->lastPending) return;
  importWaiting_->lastPending = pending;
  const nlohmann::json names = service_->importedEventNames();
  nlohmann::json ids = nlohmann::json::array();
  for (const Uuid& id : service_->importedEventIDs()) ids.push_back(id.str());
  const std::int64_t contacts = service_->importedContactCount();
  if (total == 0) {
    std::exchange(importWaiting_, {})->reply->fail("The import was cancelled");
    return;
  }
  if (pending == 0) {
    nlohmann::json failed = nlohmann::json::array();
    for (const FailedImport& failure : service_->failedImports())
      failed.push_back({{"name", failure.eventName}, {"reason", failure.reason}});
    std::exchange(importWaiting_, {})
        ->reply->succeed({{"importedEventNames", names},
                          {"importedEventIDs", ids},
                          {"importedContactCount", contacts},
                          {"failedEvents", failed}});
    return;
  }
  importWaiting_->reply->progress({{"pendingImportCount", pending},
                                   {"totalImportCount", total},
                                   {"importedEventNames", names},
                                   {"importedEventIDs", ids},
                                   {"importedContactCount", contacts}});
  // A fresh wait for the next snapshot; the old timer goes with the old wait.
  auto reply = importWaiting_->reply;
  importWaiting_ = wait(std::move(reply), kImportStepTime, "The phone stopped sending events");
  importWaiting_->lastPending = pending;
}

nlohmann::json SyncModule::pushContacts(std::span<const Contact> contacts) {
  const PushCounts counts = service_->pushContacts(contacts);
  return {{"notSent", counts.queued + counts.failed}, {"queued", counts.queued}};
}

SyncModule::Push SyncModule::pushContact(const Contact& contact) {
  const PushOutcome outcome = service_->pushContact(contact);
  const PushResult& result = service_->lastPushResult();
  switch (outcome) {
    case PushOutcome::sent:
      return {"sent", {}};
    case PushOutcome::queued:
      return {"queued", result.message};
    case PushOutcome::failed:
      break;
  }
  return {"failed", result.message};
}

void SyncModule::registerCommands(ControlServer& control) {
  control.handle("sync.now", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
    if (auto requested = service_->requestFullSync(); !requested) {
      reply->fail(requested.error().message);
      return;
    }
    reply->succeed({{"queuedDeltas", service_->deltaJournal().pendingEnvelopes().size()}});
  });

  control.handle(
      "events.remote", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
        if (auto asked = service_->requestEventList(); !asked) {
          reply->fail(asked.error().message);
          return;
        }
        listWaiting_.push_back(wait(std::move(reply), kEventListTime,
                                    "The phone did not send its event list within " +
                                        std::to_string(kEventListTime.count()) + " seconds"));
      });

  control.handle("events.import", [this](const nlohmann::json& request,
                                         std::shared_ptr<ControlReply> reply) {
    const auto ids = request.find("ids");
    if (ids == request.end() || !ids->is_array() || ids->empty()) {
      reply->fail("events.import needs \"ids\": the identifiers of the events to import");
      return;
    }
    std::vector<Uuid> eventIDs;
    for (const auto& id : *ids) {
      auto parsed = uuidFrom(id, "An event id");
      if (!parsed) {
        reply->fail(parsed.error().message);
        return;
      }
      eventIDs.push_back(*parsed);
    }
    if (importWaiting_) {
      reply->fail("An import is already running");
      return;
    }
    if (!service_->isPaired()) {
      reply->fail("Cannot import — not paired");
      return;
    }
    if (auto asked = service_->importEvents(eventIDs); !asked) {
      service_->resetImportState();
      reply->fail(asked.error().message);
      return;
    }
    // A client that goes away does not keep the import (and the next one) waiting.
    std::weak_ptr<ControlReply> asker = reply;
    reply->whenClientGone([this, asker] {
      if (!importWaiting_ || importWaiting_->reply != asker.lock()) return;
      importWaiting_.reset();
      log::sync().info("The client waiting for the import went away; import ended");
      service_->resetImportState();
    });
    importWaiting_ = wait(std::move(reply), kImportStepTime, "The phone stopped sending events");
    importWaiting_->lastPending = service_->pendingImportCount();
  });

  // The import sheet closes: its import, if one still runs, ends with it.
  control.handle("events.import.reset",
                 [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                   if (importWaiting_)
                     std::exchange(importWaiting_, {})->reply->fail("The import was cancelled");
                   service_->resetImportState();
                   reply->succeed(nlohmann::json::object());
                 });

  control.handle(
      "contact.push", [this](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
        const auto given = request.find("id");
        auto id = uuidFrom(given == request.end() ? nlohmann::json() : *given, "The contact id");
        if (!id) {
          reply->fail(id.error().message);
          return;
        }
        auto contact = context_.app.store().find<Contact>(*id);
        if (!contact) {
          reply->fail(contact.error().message);
          return;
        }
        if (!*contact) {
          reply->fail("No contact with id " + id->str());
          return;
        }
        const Push push = pushContact(**contact);
        if (push.outcome == "failed") {
          reply->fail(push.message);
          return;
        }
        const bool queued = push.outcome == "queued";
        reply->succeed({{"name", (*contact)->fullName()}, {"queued", queued}});
      });
}

}  // namespace qm
