#include "pairing/pairing_service.h"

#include <algorithm>

#include "common/log.h"
#include "crypto/pairing_crypto.h"
#include "pairing/pairing_bond.h"
#include "pairing/qr_payload.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "wire/sync_payloads.h"

namespace qm {

bool isPairingActive(PairingState state) {
  return state == PairingState::advertising || state == PairingState::connecting ||
         state == PairingState::reconnecting;
}

PairingService::PairingService(PeerNetwork& network, KeychainStore& keychain,
                               DeviceIdentity& identity, const AppSettings& settings)
    : network_(network),
      keychain_(keychain),
      identity_(identity),
      settings_(settings),
      alive_(std::make_shared<PairingService*>(this)) {
  localPeerName_ = identity_.current();
  bond_ = loadBond(keychain_);
  if (bond_) {
    peerDisplayName_ = bond_->peerDisplayName;
    if (auto secret = base64Decode(bond_->sharedSecretBase64)) sharedSecret_ = std::move(*secret);
    lastConnectedAt_ = bond_->pairedAt;
    log::pairing().info("Existing bond loaded — peer: {}", bond_->peerDisplayName);
  }
}

BondSecret PairingService::bondSecret() const {
  if (!bond_ || !sharedSecret_) return std::nullopt;
  return std::span<const std::uint8_t>(*sharedSecret_);
}

PairingService::~PairingService() {
  // Callbacks already queued by the network find the service gone.
  *alive_ = nullptr;
  advertiser_.reset();
  session_.reset();
}

std::string PairingService::makeQRPayload() {
  QRSession qr = makeQRSession(settings_, identity_);
  ephemeralPrivateKey_ = qr.keyPair.privateKey;
  sessionNonce_ = qr.nonce;
  qrPayloadString_ = qr.qrString;
  notify();
  return qr.qrString;
}

void PairingService::replaceSession() {
  const std::uint64_t generation = ++sessionGeneration_;
  std::weak_ptr<PairingService*> alive = alive_;
  PeerSessionEvents events;
  events.peerStateChanged = [alive, generation](const PeerID& peer, PeerConnectionState state) {
    if (auto self = alive.lock(); self && *self) (*self)->peerStateChanged(generation, peer, state);
  };
  events.dataReceived = [alive, generation](std::string bytes, const PeerID& peer) {
    auto self = alive.lock();
    if (!self || !*self || (*self)->sessionGeneration_ != generation) return;
    (*self)->dataReceived_.emit(bytes, peer);
  };
  session_ = network_.makeSession(std::move(events));
}

void PairingService::startAdvertiser() {
  std::weak_ptr<PairingService*> alive = alive_;
  AdvertiserEvents events;
  events.invitationReceived = [alive](const PeerID& peer, std::function<void(PeerSession*)> reply) {
    log::pairing().info("Received invitation from: {}", peer.displayName);
    auto self = alive.lock();
    if (!self || !*self) return reply(nullptr);
    (*self)->invitationReceived(peer, reply);
  };
  events.advertisingFailed = [alive](const std::string& error) {
    if (auto self = alive.lock(); self && *self) (*self)->advertisingFailed(error);
  };
  advertiser_ = network_.startAdvertising(localPeerName_, {{"version", "1"}}, kServiceType,
                                          std::move(events));
}

void PairingService::dropAdvertiser() {
  if (advertiser_) advertiser_->stop();
  advertiser_.reset();
}

void PairingService::clearEphemeral() {
  ephemeralPrivateKey_.reset();
  sessionNonce_.reset();
}

void PairingService::setState(PairingState state) {
  state_ = state;
}

void PairingService::notify() {
  changed_.emit();
}

void PairingService::startAdvertising() {
  if (state_ != PairingState::unpaired && state_ != PairingState::error) {
    log::pairing().error("Cannot start advertising in state: {}", rawValue(state_));
    return;
  }
  replaceSession();
  if (!qrPayloadString_ || qrPayloadString_->empty()) makeQRPayload();
  dropAdvertiser();
  setState(PairingState::advertising);
  errorMessage_.reset();
  startAdvertiser();
  log::pairing().info("Started advertising as {}", kServiceType);
  notify();
}

void PairingService::stopAdvertising() {
  dropAdvertiser();
  if (state_ == PairingState::advertising) setState(PairingState::unpaired);
  clearEphemeral();
  qrPayloadString_.reset();
  log::pairing().info("Stopped advertising");
  notify();
}

void PairingService::reconnect() {
  if (!bond_) {
    log::pairing().error("No bond exists — cannot reconnect");
    return;
  }
  if (state_ != PairingState::unpaired && state_ != PairingState::error &&
      state_ != PairingState::reconnecting) {
    return;
  }
  dropAdvertiser();
  ++sessionGeneration_;  // what the old session reports from here on is moot
  if (session_) session_->disconnect();
  replaceSession();
  setState(PairingState::reconnecting);
  startAdvertiser();
  log::pairing().info("Attempting reconnect...");
  notify();
}

Status PairingService::forgetPairing() {
  ++sessionGeneration_;  // what the old session reports from here on is moot
  if (session_) session_->disconnect();
  session_.reset();
  dropAdvertiser();
  connectedPeerID_.reset();
  Status deleted = deleteBond(keychain_);
  bond_.reset();
  setState(PairingState::unpaired);
  peerDisplayName_.reset();
  lastConnectedAt_.reset();
  sharedSecret_.reset();
  clearEphemeral();
  qrPayloadString_.reset();
  errorMessage_.reset();
  log::pairing().info("Pairing forgotten — all bond data cleared");
  notify();
  return deleted;
}

void PairingService::invitationReceived(const PeerID& peer,
                                        const std::function<void(PeerSession*)>& reply) {
  if (state_ == PairingState::reconnecting) {
    // Only the bonded phone may take up the session again: once paired, the
    // desktop sends contacts to whoever is connected.
    if (!bond_ || peer.displayName != bond_->peerDeviceUUID) {
      log::pairing().error("Rejected invitation from {} — not the bonded phone", peer.displayName);
      reply(nullptr);
      return;
    }
  } else if (state_ != PairingState::advertising) {
    log::pairing().error("Rejected invitation — not in advertising/reconnecting state");
    reply(nullptr);
    return;
  }
  if (state_ == PairingState::advertising) setState(PairingState::connecting);
  connectedPeerID_ = peer;
  reply(session_.get());
  log::pairing().info("Accepted invitation from {}", peer.displayName);
  notify();
}

void PairingService::advertisingFailed(const std::string& error) {
  log::pairing().error("Failed to start advertising: {}", error);
  fail("Failed to start advertising: " + error);
}

void PairingService::fail(std::string message) {
  setState(PairingState::error);
  errorMessage_ = std::move(message);
  notify();
}

void PairingService::peerStateChanged(std::uint64_t sessionGeneration, const PeerID& peer,
                                      PeerConnectionState peerState) {
  log::pairing().info("Peer {} state: {}", peer.displayName, peerConnectionStateName(peerState));
  if (sessionGeneration != sessionGeneration_) return;  // a session dropped on purpose
  switch (peerState) {
    case PeerConnectionState::connected:
      connectedPeerID_ = peer;
      if (state_ == PairingState::reconnecting) {
        setState(PairingState::paired);
        lastConnectedAt_ = now();
        dropAdvertiser();
        log::pairing().info("Reconnected to {}", peer.displayName);
      } else if (state_ == PairingState::connecting) {
        if (bond_ && peer.displayName == bond_->peerDeviceUUID) {
          if (auto secret = base64Decode(bond_->sharedSecretBase64)) sharedSecret_ = *secret;
          peerDisplayName_ = bond_->peerDisplayName;
          setState(PairingState::paired);
          lastConnectedAt_ = now();
          dropAdvertiser();
          clearEphemeral();
          qrPayloadString_.reset();
          log::pairing().info("Bonded peer reconnected via advertising — skipped handshake");
        }
      }
      break;
    case PeerConnectionState::notConnected:
      if (connectedPeerID_ && *connectedPeerID_ == peer) connectedPeerID_.reset();
      if (state_ == PairingState::paired) {
        setState(PairingState::reconnecting);
        log::pairing().info("Connection lost — will attempt reconnect");
        reconnect();
      } else if (state_ == PairingState::connecting) {
        setState(PairingState::advertising);
        log::pairing().error("Peer disconnected during connecting");
      }
      break;
    case PeerConnectionState::connecting:
      break;
  }
  notify();
}

void PairingService::handleHandshake(const PairHandshakePayload& payload) {
  // Once paired, a handshake (anyone may send one, even under the bonded
  // phone's name) must not break the pairing: it is noted and ignored.
  if (state_ == PairingState::paired || state_ == PairingState::reconnecting) {
    log::pairing().error("Ignored a pair.handshake from {} while {}", payload.iPhoneDisplayName,
                         rawValue(state_));
    return;
  }
  if (!ephemeralPrivateKey_) {
    log::pairing().error("No ephemeral key — handshake received without active pairing attempt");
    fail("No active pairing session");
    return;
  }
  auto phoneKey = decodePhonePublicKey(payload.publicKeyBase64);
  auto secret = phoneKey ? PairingCrypto::deriveSharedSecret(*ephemeralPrivateKey_, *phoneKey)
                         : Result<std::array<std::uint8_t, 32>>(phoneKey.error());
  if (!secret) {
    log::pairing().error("Handshake failed: {}", secret.error().message);
    fail("Handshake failed: " + secret.error().message);
    return;
  }
  PairingBond bond{payload.iPhoneDeviceUUID, payload.iPhoneDisplayName,
                   base64Encode(std::span<const std::uint8_t>(*secret)), now()};
  if (auto saved = saveBond(keychain_, bond); !saved) {
    // The phone would be a stranger after a restart: better to pair again now.
    // The session goes too, so nothing more from that phone is taken unchecked.
    ++sessionGeneration_;
    if (session_) session_->disconnect();
    connectedPeerID_.reset();
    clearEphemeral();
    dropAdvertiser();
    qrPayloadString_.reset();
    fail("Could not save the pairing with " + payload.iPhoneDisplayName + ": " +
         saved.error().message + ". Pair again.");
    return;
  }
  bond_ = std::move(bond);
  sharedSecret_ = Bytes(secret->begin(), secret->end());
  peerDisplayName_ = payload.iPhoneDisplayName;
  lastConnectedAt_ = now();
  setState(PairingState::paired);
  clearEphemeral();
  dropAdvertiser();
  log::pairing().info("Pairing complete with {}", payload.iPhoneDisplayName);
  notify();

  const PairAckPayload ack{identity_.current(), pairingDisplayName(settings_), true};
  if (auto envelope = SyncEnvelope::make(SyncMessageType::pairAck, ack)) {
    (void)send(*envelope);  // the phone asks again if it hears nothing
  }
}

Status PairingService::send(const SyncEnvelope& envelope) {
  if (!session_ || !connectedPeerID_)
    return Error(ErrorCode::unavailable, std::string(kNotConnected));
  const auto peers = session_->connectedPeers();
  if (std::find(peers.begin(), peers.end(), *connectedPeerID_) == peers.end()) {
    return Error(ErrorCode::unavailable, std::string(kNotConnected));
  }
  std::optional<std::span<const std::uint8_t>> secret;
  if (sharedSecret_) secret = std::span<const std::uint8_t>(*sharedSecret_);
  auto text = encodeEnvelope(signEnvelope(envelope, secret));
  if (!text) return text.error();
  return session_->send(*text, *connectedPeerID_);
}

}  // namespace qm
