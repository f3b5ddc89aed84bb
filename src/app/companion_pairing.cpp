#include "app/companion_pairing.h"

#include <asio.hpp>
#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "app/control_server.h"
#include "common/log.h"
#include "pairing/pairing_bond.h"
#include "pairing/pairing_service.h"
#include "sync/message_verification.h"
#include "sync/sync_payloads.h"

namespace qm {

namespace {

constexpr std::uint16_t kDefaultPeerPort = 23817;
// How long `quillmere pair` waits for the phone unless it asks otherwise.
constexpr int kDefaultPairingSeconds = 300;

Result<std::uint16_t> peerPortFromEnvironment() {
  const char* text = std::getenv("QUILLMERE_PEER_PORT");
  if (text == nullptr || *text == '\0') return kDefaultPeerPort;
  char* end = nullptr;
  const long port = std::strtol(text, &end, 10);
  if (*end != '\0' || port < 0 || port > 65535) {
    return Error(std::string("QUILLMERE_PEER_PORT is not a port number: ") + text);
  }
  return static_cast<std::uint16_t>(port);
}

}  // namespace

struct CompanionPairing::Waiting {
  std::shared_ptr<ControlReply> reply;
  std::unique_ptr<asio::steady_timer> timeout;
};

CompanionPairing::CompanionPairing(QuillmereMacApp& app, asio::io_context& io,
                                   ControlServer& control)
    : app_(app), io_(io), control_(control) {}

CompanionPairing::~CompanionPairing() {
  app_.setForgetPairing({});
  for (auto& waiting : waiting_) waiting->reply->fail("Quillmere is stopping");
  waiting_.clear();
  service_.reset();
  link_.reset();
}

Status CompanionPairing::start() {
  auto port = peerPortFromEnvironment();
  if (!port) return port.error();
  PeerLinkOptions options;
  options.port = *port;
  auto link = makePeerLink(io_, options);
  if (!link) return link.error();
  link_ = std::move(link).value();
  service_ = std::make_unique<PairingService>(*link_, app_.keychain(), app_.deviceIdentity(),
                                              app_.settings());
  service_->onDataReceived(
      [this](std::string bytes, const PeerID&) { received(std::move(bytes)); });
  service_->onChange([this] { changed(); });
  app_.setForgetPairing([this] { service_->forgetPairing(); });
  registerCommands();
  return {};
}

void CompanionPairing::received(std::string bytes) {
  auto message = checkIncomingMessage(bytes, loadBond(app_.keychain()));
  if (!message) return;  // logged
  const SyncEnvelope& envelope = message->envelope;
  if (envelope.type == SyncMessageType::pairHandshake) {
    auto handshake = envelope.decodePayload<PairHandshakePayload>();
    if (!handshake) {
      log::sync().error("Failed to decode pair.handshake payload: {}", handshake.error().message);
      return;
    }
    service_->handleHandshake(*handshake);
    return;
  }
  // The sync service takes these over; until then they are only noted.
  log::sync().info("Received {} ({} bytes), not handled yet", rawValue(envelope.type),
                   envelope.payload.size());
}

void CompanionPairing::changed() {
  const PairingState state = service_->state();
  if (state == PairingState::paired || state == PairingState::error ||
      state == PairingState::unpaired) {
    finishWaiting();
  }
}

void CompanionPairing::finishWaiting() {
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

void CompanionPairing::registerCommands() {
  control_.handle("pairing.status",
                  [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                    const PairingService& s = *service_;
                    nlohmann::json result = {{"state", rawValue(s.state())}};
                    if (s.peerDisplayName()) result["peerDisplayName"] = *s.peerDisplayName();
                    if (s.lastConnectedAt())
                      result["lastConnectedAt"] = formatISO8601(*s.lastConnectedAt());
                    if (s.errorMessage()) result["errorMessage"] = *s.errorMessage();
                    if (s.qrPayloadString()) result["qrPayload"] = *s.qrPayloadString();
                    if (auto port = link_->listeningPort()) result["listeningPort"] = *port;
                    result["bonded"] = loadBond(app_.keychain()).has_value();
                    reply->succeed(result);
                  });

  control_.handle(
      "pairing.start", [this](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
        const PairingState before = service_->state();
        if (before != PairingState::unpaired && before != PairingState::error &&
            before != PairingState::advertising) {
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
        const int seconds = request.value("timeoutSeconds", kDefaultPairingSeconds);
        waiting->timeout = std::make_unique<asio::steady_timer>(io_, std::chrono::seconds(seconds));
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

  control_.handle("pairing.stop",
                  [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                    service_->stopAdvertising();
                    reply->succeed({{"state", rawValue(service_->state())}});
                  });

  control_.handle("pairing.reconnect",
                  [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                    if (!loadBond(app_.keychain())) {
                      reply->fail("No phone is paired; pair one first with quillmere pair");
                      return;
                    }
                    service_->reconnect();
                    reply->succeed({{"state", rawValue(service_->state())}});
                  });

  control_.handle("pairing.forget",
                  [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                    service_->forgetPairing();
                    reply->succeed({{"state", rawValue(service_->state())}});
                  });
}

}  // namespace qm
