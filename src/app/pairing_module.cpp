#include "app/pairing_module.h"

#include <asio.hpp>
#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>

#include "app/application.h"
#include "app/control_server.h"
#include "app/message_dispatcher.h"
#include "common/log.h"
#include "pairing/pairing_service.h"
#include "ui/phone_state.h"
#include "wire/message_verification.h"
#include "wire/sync_payloads.h"

namespace qm {

namespace {

constexpr std::uint16_t kDefaultPeerPort = 23817;
// How long `quillmere pair` waits for the phone unless it asks otherwise.
constexpr int kDefaultPairingSeconds = 300;
// A day: beyond that a waiting `quillmere pair` is surely forgotten.
constexpr int kLongestPairingSeconds = 86'400;
// Frames at least this large (event snapshots) are decoded and their tag
// checked on a thread of their own: tens of megabytes take a few hundred
// milliseconds, which the loop spends answering the window and the CLI.
constexpr std::size_t kCheckOffLoopBytes = 1 << 20;

Result<std::uint16_t> peerPortFromEnvironment() {
  const char* text = std::getenv("QUILLMERE_PEER_PORT");
  if (text == nullptr || *text == '\0') return kDefaultPeerPort;
  char* end = nullptr;
  const long port = std::strtol(text, &end, 10);
  if (*end != '\0' || port < 0 || port > 65535) {
    return Error(ErrorCode::invalidArgument,
                 std::string("QUILLMERE_PEER_PORT is not a port number: ") + text);
  }
  return static_cast<std::uint16_t>(port);
}

}  // namespace

struct PairingModule::Waiting {
  std::shared_ptr<ControlReply> reply;
  std::unique_ptr<asio::steady_timer> timeout;
};

struct PairingModule::Checking {
  std::thread thread;
};

PairingModule::PairingModule(CompanionContext context)
    : context_(context), alive_(std::make_shared<PairingModule*>(this)) {}

PairingModule::~PairingModule() {
  stop();
}

void PairingModule::stop() {
  // A frame being checked is dropped with the frames after it, as frames still
  // on the way are when the link closes; its posted outcome finds nobody.
  if (checking_) {
    checking_->thread.join();
    checking_.reset();
  }
  heldFrames_.clear();
  alive_ = std::make_shared<PairingModule*>(this);
  for (auto& waiting : waiting_) waiting->reply->fail("Quillmere is stopping");
  waiting_.clear();
  if (service_) context_.messages.remove(SyncMessageType::pairHandshake);
  receivedSubscription_.reset();
  changedSubscription_.reset();
  service_.reset();
  link_.reset();
}

void PairingModule::resetAllData() {
  if (!service_) return;
  if (auto forgotten = service_->forgetPairing(); !forgotten)
    log::pairing().error("Reset: {}", forgotten.error().message);
}

Status PairingModule::start() {
  PeerLinkOptions options;
  options.port = QM_TRY(peerPortFromEnvironment());
  link_ = QM_TRY(makePeerLink(context_.io, options));
  QuillmereMacApp& app = context_.app;
  service_ = std::make_unique<PairingService>(*link_, app.keychain(), app.deviceIdentity(),
                                              app.settings());
  receivedSubscription_ = service_->dataReceived().subscribe(
      [this](const std::string& bytes, const PeerID&) { received(bytes); });
  changedSubscription_ = service_->changed().subscribe([this] { changed(); });
  // Handshakes are the pairing service's while a phone is being paired; once
  // one is paired (anyone may send one, even under its name) they change nothing.
  context_.messages.handle(SyncMessageType::pairHandshake, [this](CheckedMessage& message) {
    auto handshake = message.envelope.decodePayload<PairHandshakePayload>();
    log::pairing().error("Ignored a pair.handshake from {} while {}",
                         handshake ? handshake->iPhoneDisplayName : std::string("the phone"),
                         rawValue(service_->state()));
  });
  return {};
}

void PairingModule::addStatus(nlohmann::json& status) const {
  if (!service_) return;
  status["pairingState"] = rawValue(service_->state());
  status["pairingStateText"] = displayLabel(service_->state());
  if (service_->peerDisplayName()) status["phone"] = *service_->peerDisplayName();
  status["bonded"] = service_->bond().has_value();
  const PhoneState phone = phoneState(rawValue(service_->state()), service_->bond().has_value());
  status["phoneState"] = phoneStateName(phone);
  status["phoneStateText"] =
      phoneStateLine(phone, service_->peerDisplayName().value_or(std::string()));
}

void PairingModule::received(const std::string& bytes) {
  if (checking_) {
    heldFrames_.push_back(bytes);
    return;
  }
  if (bytes.size() < kCheckOffLoopBytes)
    return checked(checkIncomingMessage(bytes, service_->bondSecret()));
  check(bytes);
}

void PairingModule::check(std::string frame) {
  if (frame.size() < kCheckOffLoopBytes)
    return checked(checkIncomingMessage(frame, service_->bondSecret()));
  // The secret as it is now, by value: the thread reads nothing of the loop's.
  const BondSecret bond = service_->bondSecret();
  // A vector and a flag rather than an optional vector, which GCC's optimiser
  // takes for uninitialised when the lambda is copied.
  const bool bonded = bond.has_value();
  std::vector<std::uint8_t> secret;
  if (bonded) secret.assign(bond->begin(), bond->end());
  auto held = std::make_shared<std::string>(std::move(frame));
  auto work = [held, bonded, secret, &io = context_.io,
               alive = std::weak_ptr<PairingModule*>(alive_)] {
    auto message = std::make_shared<std::optional<CheckedMessage>>(checkIncomingMessage(
        *held, bonded ? BondSecret(std::span<const std::uint8_t>(secret)) : std::nullopt));
    std::string().swap(*held);  // freed here, not on the loop
    asio::post(io, [alive, message] {
      if (auto self = alive.lock()) (*self)->checked(std::move(*message));
    });
  };
  try {
    checking_ = std::make_unique<Checking>(Checking{std::thread(std::move(work))});
  } catch (const std::system_error& error) {
    log::sync().warn("No thread to check a {}-byte message ({}); checking it on the main loop",
                     held->size(), error.what());
    checked(checkIncomingMessage(*held, service_->bondSecret()));
  }
}

void PairingModule::checked(std::optional<CheckedMessage> message) {
  if (checking_) {
    checking_->thread.join();  // it has posted this and is about to end
    checking_.reset();
  }
  if (message) context_.messages.dispatch(std::move(*message));  // else logged
  while (!checking_ && !heldFrames_.empty() && service_) {
    std::string next = std::move(heldFrames_.front());
    heldFrames_.pop_front();
    check(std::move(next));
  }
}

void PairingModule::changed() {
  const PairingState state = service_->state();
  if (state == PairingState::paired || state == PairingState::error ||
      state == PairingState::unpaired) {
    finishWaiting();
  }
}

void PairingModule::finishWaiting() {
  auto waiting = std::move(waiting_);
  waiting_.clear();
  for (auto& w : waiting) {
    w->timeout.reset();
    switch (service_->state()) {
      case PairingState::paired:
        w->reply->succeed({{"peerDisplayName", service_->peerDisplayName().value_or("")}});
        break;
      case PairingState::error:
        w->reply->fail(service_->errorMessage().value_or("Pairing failed"));
        break;
      default:
        w->reply->fail("Pairing stopped");
    }
  }
}

void PairingModule::registerCommands(ControlServer& control) {
  control.handle("pairing.status",
                 [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                   const PairingService& s = *service_;
                   nlohmann::json result = {{"state", rawValue(s.state())}};
                   if (s.peerDisplayName()) result["peerDisplayName"] = *s.peerDisplayName();
                   if (s.lastConnectedAt())
                     result["lastConnectedAt"] = formatISO8601(*s.lastConnectedAt());
                   if (s.errorMessage()) result["errorMessage"] = *s.errorMessage();
                   if (s.qrPayloadString()) result["qrPayload"] = *s.qrPayloadString();
                   if (auto port = link_->listeningPort()) result["listeningPort"] = *port;
                   result["bonded"] = s.bond().has_value();
                   reply->succeed(result);
                 });

  control.handle(
      "pairing.start", [this](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
        int seconds = kDefaultPairingSeconds;
        if (auto given = request.find("timeoutSeconds"); given != request.end()) {
          if (!given->is_number_integer() || *given < 1 || *given > kLongestPairingSeconds) {
            reply->fail("timeoutSeconds must be a whole number of seconds from 1 to " +
                        std::to_string(kLongestPairingSeconds));
            return;
          }
          seconds = given->get<int>();
        }
        const PairingState before = service_->state();
        if (before != PairingState::unpaired && before != PairingState::error &&
            before != PairingState::advertising) {
          service_->startAdvertising();  // refuses, and says so in the log
          reply->fail("Cannot start pairing while " + std::string(rawValue(before)));
          return;
        }
        // A fresh code for every request: whoever scanned an older one must scan again.
        if (before == PairingState::advertising) service_->stopAdvertising();
        service_->makeQRPayload();
        service_->startAdvertising();
        if (service_->state() != PairingState::advertising) {
          reply->fail(service_->errorMessage().value_or("Cannot start advertising"));
          return;
        }
        nlohmann::json offer = {{"qrPayload", *service_->qrPayloadString()}};
        if (auto port = link_->listeningPort()) offer["port"] = *port;
        reply->progress(offer);

        auto waiting = std::make_shared<Waiting>();
        waiting->reply = reply;
        waiting->timeout =
            std::make_unique<asio::steady_timer>(context_.io, std::chrono::seconds(seconds));
        std::weak_ptr<Waiting> weak = waiting;
        waiting->timeout->async_wait([this, weak](std::error_code ec) {
          auto w = weak.lock();
          if (ec || !w) return;
          std::erase(waiting_, w);
          w->reply->fail("No phone paired in time; stopped waiting");
          if (waiting_.empty() && isPairingActive(service_->state())) service_->stopAdvertising();
        });
        waiting_.push_back(waiting);
      });

  control.handle("pairing.stop",
                 [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                   service_->stopAdvertising();
                   reply->succeed({{"state", rawValue(service_->state())}});
                 });

  control.handle("pairing.reconnect",
                 [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                   if (!service_->bond()) {
                     service_->reconnect();  // refuses, and says so in the log
                     reply->fail("No phone is paired; pair one first with quillmere pair");
                     return;
                   }
                   service_->reconnect();
                   reply->succeed({{"state", rawValue(service_->state())}});
                 });

  control.handle("pairing.forget",
                 [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                   if (auto forgotten = service_->forgetPairing(); !forgotten) {
                     reply->fail(forgotten.error().message);
                     return;
                   }
                   reply->succeed({{"state", rawValue(service_->state())}});
                 });
}

}  // namespace qm
