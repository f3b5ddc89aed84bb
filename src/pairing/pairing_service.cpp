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

/// A connection accepted into the session that has not proven itself yet.
struct PairingService::Candidate {
  PeerID peer;
  /// From its handshake: the secret derived with its key, and who it says it is.
  std::optional<Bytes> secret;
  std::string deviceUUID;
  std::string displayName;
  std::unique_ptr<PeerTimer> deadline;
};

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
    (*self)->received(std::move(bytes), peer);
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
  candidates_.clear();
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
  if (state_ == PairingState::advertising || state_ == PairingState::connecting) {
    // Without the key on show no candidate can finish pairing.
    dropCandidates();
    setState(PairingState::unpaired);
  }
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
  candidates_.clear();
  connectedPeerID_.reset();
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
  candidates_.clear();
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
    // Only the bonded phone may take up the session again.
    if (!bond_ || peer.displayName != bond_->peerDeviceUUID) {
      log::pairing().error("Rejected invitation from {} — not the bonded phone", peer.displayName);
      reply(nullptr);
      return;
    }
  } else if (state_ != PairingState::advertising && state_ != PairingState::connecting) {
    log::pairing().error("Rejected invitation — not in advertising/reconnecting state");
    reply(nullptr);
    return;
  }
  makeRoomForCandidate(peer.address);
  auto& candidate = *candidates_.emplace_back(std::make_unique<Candidate>());
  candidate.peer = peer;
  setDeadline(candidate, kHandshakeTime, "no handshake");
  if (state_ == PairingState::advertising) setState(PairingState::connecting);
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

PairingService::Candidate* PairingService::findCandidate(const PeerID& peer) {
  for (auto& candidate : candidates_) {
    if (candidate->peer == peer) return candidate.get();
  }
  return nullptr;
}

void PairingService::setDeadline(Candidate& candidate, std::chrono::seconds after,
                                 std::string_view missing) {
  std::weak_ptr<PairingService*> alive = alive_;
  const std::uint64_t generation = sessionGeneration_;
  candidate.deadline = network_.callAfter(
      after, [alive, generation, peer = candidate.peer,
              why = std::string(missing) + " within " + std::to_string(after.count()) + " s"] {
        auto self = alive.lock();
        if (!self || !*self || (*self)->sessionGeneration_ != generation) return;
        (*self)->closeCandidate(peer, why);
      });
}

void PairingService::closeCandidate(PeerID peer, std::string_view why) {
  if (!findCandidate(peer)) return;
  log::pairing().error("Closed the connection from {}: {}", peer.displayName, why);
  std::erase_if(candidates_, [&](const auto& c) { return c->peer == peer; });
  if (session_) session_->disconnect(peer);
  afterCandidateLeft();
}

void PairingService::makeRoomForCandidate(const std::string& address) {
  const auto heldBy = [this](const std::string& a) {
    return static_cast<std::size_t>(
        std::count_if(candidates_.begin(), candidates_.end(),
                      [&](const auto& c) { return c->peer.address == a; }));
  };
  // Candidates are kept oldest first.
  const auto oldestFrom = [this](const auto& gives) -> std::optional<PeerID> {
    for (const auto& c : candidates_)
      if (gives(c->peer)) return c->peer;
    return std::nullopt;
  };
  const auto fromAddress = [&](const std::string& a) {
    return oldestFrom([&](const PeerID& p) { return p.address == a; });
  };
  std::optional<PeerID> leaving;
  if (heldBy(address) >= kMaxCandidatesPerAddress) {
    leaving = fromAddress(address);  // a device makes room with its own oldest
  } else if (candidates_.size() >= kMaxCandidates) {
    // The address that holds the most gives way; on a tie, the newcomer's own.
    std::size_t most = 0;
    for (const auto& c : candidates_) most = std::max(most, heldBy(c->peer.address));
    leaving = heldBy(address) == most
                  ? fromAddress(address)
                  : oldestFrom([&](const PeerID& p) { return heldBy(p.address) == most; });
  }
  if (leaving) closeCandidate(*leaving, "its place went to a newer connection");
}

void PairingService::dropCandidates() {
  for (auto& candidate : std::exchange(candidates_, {})) {
    if (session_) session_->disconnect(candidate->peer);
  }
}

void PairingService::afterCandidateLeft() {
  if (state_ == PairingState::connecting && candidates_.empty()) {
    setState(PairingState::advertising);
    log::pairing().error("Peer disconnected during connecting");
  }
  notify();
}

void PairingService::askForProof(Candidate& candidate, std::span<const std::uint8_t> secret) {
  setDeadline(candidate, kConfirmTime, "no signed message");
  if (auto request =
          SyncEnvelope::make(SyncMessageType::eventListRequest, EventListRequestPayload{})) {
    if (auto sent = sendSigned(*request, candidate.peer, secret); !sent) {
      log::pairing().error("Could not ask {} for its event list: {}", candidate.peer.displayName,
                           sent.error().message);
    }
  }
}

void PairingService::peerStateChanged(std::uint64_t sessionGeneration, const PeerID& peer,
                                      PeerConnectionState peerState) {
  log::pairing().info("Peer {} state: {}", peer.displayName, peerConnectionStateName(peerState));
  if (sessionGeneration != sessionGeneration_) return;  // a session dropped on purpose
  Candidate* candidate = findCandidate(peer);
  switch (peerState) {
    case PeerConnectionState::connected:
      // The bonded phone needs no handshake, but must show that it still
      // holds the bond's secret before it is taken for the phone.
      if (candidate && bond_ && sharedSecret_ && peer.displayName == bond_->peerDeviceUUID)
        askForProof(*candidate, *sharedSecret_);
      break;
    case PeerConnectionState::notConnected:
      if (candidate) {
        std::erase_if(candidates_, [&](const auto& c) { return c->peer == peer; });
        afterCandidateLeft();
        return;
      }
      if (!connectedPeerID_ || !(*connectedPeerID_ == peer)) break;
      connectedPeerID_.reset();
      if (state_ == PairingState::paired) {
        setState(PairingState::reconnecting);
        log::pairing().info("Connection lost — will attempt reconnect");
        reconnect();
      }
      break;
    case PeerConnectionState::connecting:
      break;
  }
  notify();
}

void PairingService::received(std::string bytes, const PeerID& peer) {
  if (state_ == PairingState::paired && connectedPeerID_ && *connectedPeerID_ == peer) {
    dataReceived_.emit(bytes, peer);
    return;
  }
  if (Candidate* candidate = findCandidate(peer)) {
    candidateMessage(*candidate, std::move(bytes));
    return;
  }
  log::pairing().error("Ignored a message from {}: not the paired phone", peer.displayName);
}

void PairingService::candidateMessage(Candidate& candidate, std::string bytes) {
  BondSecret secret;
  if (candidate.secret) {
    secret = std::span<const std::uint8_t>(*candidate.secret);
  } else if (bond_ && sharedSecret_ && candidate.peer.displayName == bond_->peerDeviceUUID) {
    secret = std::span<const std::uint8_t>(*sharedSecret_);
  }
  auto message = checkIncomingMessage(bytes, secret);
  if (!message) return;  // logged: undecodable or not signed with the candidate's secret
  switch (message->check) {
    case MessageCheck::handshake:
      if (state_ == PairingState::reconnecting) {
        log::pairing().error("Ignored a pair.handshake from {} while reconnecting",
                             candidate.peer.displayName);
        return;
      }
      if (auto payload = message->envelope.decodePayload<PairHandshakePayload>()) {
        handshake(candidate, *payload);
      } else {
        log::sync().error("Failed to decode pair.handshake payload: {}", payload.error().message);
      }
      return;
    case MessageCheck::verified:
      confirm(candidate.peer, std::move(bytes));
      return;
    case MessageCheck::noUsableBond:
      log::pairing().error("Ignored {} from {}: it has not sent its handshake",
                           rawValue(message->envelope.type), candidate.peer.displayName);
      return;
  }
}

void PairingService::handshake(Candidate& candidate, const PairHandshakePayload& payload) {
  if (!ephemeralPrivateKey_) {
    log::pairing().error("No ephemeral key — handshake received without active pairing attempt");
    closeCandidate(candidate.peer, "no active pairing session");
    return;
  }
  auto phoneKey = decodePhonePublicKey(payload.publicKeyBase64);
  auto secret = phoneKey ? PairingCrypto::deriveSharedSecret(*ephemeralPrivateKey_, *phoneKey)
                         : Result<std::array<std::uint8_t, 32>>(phoneKey.error());
  if (!secret) {
    // One bad handshake must not end the pairing: the real phone may be next.
    log::pairing().error("Handshake failed: {}", secret.error().message);
    closeCandidate(candidate.peer, "handshake failed");
    return;
  }
  candidate.secret = Bytes(secret->begin(), secret->end());
  candidate.deviceUUID = payload.iPhoneDeviceUUID;
  candidate.displayName = payload.iPhoneDisplayName;
  log::pairing().info("Handshake from {} — waiting for its first signed message",
                      payload.iPhoneDisplayName);
  const PairAckPayload ack{identity_.current(), pairingDisplayName(settings_), true};
  if (auto envelope = SyncEnvelope::make(SyncMessageType::pairAck, ack)) {
    // The phone asks again if it hears nothing.
    (void)sendSigned(*envelope, candidate.peer, *candidate.secret);
  }
  askForProof(candidate, *candidate.secret);
}

void PairingService::confirm(const PeerID& peer, std::string bytes) {
  auto found = std::find_if(candidates_.begin(), candidates_.end(),
                            [&](const auto& c) { return c->peer == peer; });
  std::unique_ptr<Candidate> winner = std::move(*found);
  candidates_.erase(found);
  // The others were strangers, or the same phone on an older connection.
  dropCandidates();
  dropAdvertiser();
  clearEphemeral();

  if (winner->secret) {
    PairingBond bond{winner->deviceUUID, winner->displayName, base64Encode(*winner->secret), now()};
    if (auto saved = saveBond(keychain_, bond); !saved) {
      // The phone would be a stranger after a restart: better to pair again now.
      // The session goes too, so nothing more from that phone is taken unchecked.
      ++sessionGeneration_;
      if (session_) session_->disconnect();
      qrPayloadString_.reset();
      fail("Could not save the pairing with " + winner->displayName + ": " + saved.error().message +
           ". Pair again.");
      return;
    }
    bond_ = std::move(bond);
    sharedSecret_ = std::move(*winner->secret);
    peerDisplayName_ = winner->displayName;
    log::pairing().info("Pairing complete with {}", winner->displayName);
  } else if (state_ == PairingState::reconnecting) {
    log::pairing().info("Reconnected to {}", peer.displayName);
  } else {
    peerDisplayName_ = bond_->peerDisplayName;
    qrPayloadString_.reset();
    log::pairing().info("Bonded peer reconnected via advertising — skipped handshake");
  }
  connectedPeerID_ = peer;
  lastConnectedAt_ = now();
  setState(PairingState::paired);
  notify();
  // The proof is a message like any other: the event list, say.
  dataReceived_.emit(bytes, peer);
}

Status PairingService::send(const SyncEnvelope& envelope) {
  if (state_ != PairingState::paired || !connectedPeerID_)
    return Error(ErrorCode::unavailable, std::string(kNotConnected));
  std::optional<std::span<const std::uint8_t>> secret;
  if (sharedSecret_) secret = std::span<const std::uint8_t>(*sharedSecret_);
  return sendSigned(envelope, *connectedPeerID_, secret);
}

Status PairingService::sendSigned(const SyncEnvelope& envelope, const PeerID& peer,
                                  std::optional<std::span<const std::uint8_t>> secret) {
  if (!session_) return Error(ErrorCode::unavailable, std::string(kNotConnected));
  const auto peers = session_->connectedPeers();
  if (std::find(peers.begin(), peers.end(), peer) == peers.end()) {
    return Error(ErrorCode::unavailable, std::string(kNotConnected));
  }
  auto text = encodeEnvelope(signEnvelope(envelope, secret));
  if (!text) return text.error();
  return session_->send(*text, peer);
}

}  // namespace qm
