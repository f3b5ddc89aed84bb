#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/date.h"
#include "common/enum_info.h"
#include "common/result.h"
#include "common/signal.h"
#include "pairing/pairing_bond.h"
#include "peer_link/peer_network.h"
#include "wire/message_verification.h"
#include "wire/sync_envelope.h"

namespace qm {

class AppSettings;
class DeviceIdentity;
class KeychainStore;
struct PairHandshakePayload;

/// Where pairing with the phone stands.
enum class PairingState { unpaired, advertising, connecting, paired, reconnecting, error };

template <>
struct EnumInfo<PairingState> {
  using E = PairingState;
  static constexpr std::array<EnumCase<E>, 6> cases{{
      {E::unpaired, "unpaired", "Not paired"},
      {E::advertising, "advertising", "Waiting for the phone"},
      {E::connecting, "connecting", "Connecting"},
      {E::paired, "paired", "Paired"},
      {E::reconnecting, "reconnecting", "Reconnecting"},
      {E::error, "error", "Pairing failed"},
  }};
};

/// True while something is under way: advertising, connecting, reconnecting.
bool isPairingActive(PairingState state);

/// Makes this desktop visible to the phone, runs the pairing handshake, keeps
/// the one live session with the paired phone and takes it up again after a
/// drop, signs and sends outgoing envelopes, and hands received messages on.
///
/// The desktop never searches: it advertises and accepts invitations. A stored
/// bond is loaded once, at construction, and kept in memory (every received
/// message is checked against its secret) so that envelopes are signed as soon
/// as a session exists, but the state always starts `unpaired`.
///
/// Anything on the network can invite itself, so a connection is only a
/// candidate until it proves to hold the secret: after its handshake (or, for
/// the bonded phone, at once) the desktop asks it for its event list, and the
/// first candidate whose answer, or any other message, is signed with its
/// secret becomes the paired phone. Several candidates may wait at once, and
/// a newcomer always gets a place: one address holds at most
/// `kMaxCandidatesPerAddress` (its newest), and when all `kMaxCandidates` are
/// taken the oldest of the address holding the most (the newcomer's own on a
/// tie) gives way. So strangers
/// that handshake and never sign push out each other, never the real phone
/// on its own address; a candidate that does not handshake within
/// `kHandshakeTime` or prove itself within `kConfirmTime` is closed. Until a phone is paired
/// nothing but the acknowledgement and that request is sent, and nothing it sends is handed on.
///
/// Everything runs on the main loop's thread.
class PairingService {
 public:
  /// The peer-network service type and its discovery information.
  static constexpr std::string_view kServiceType = "quillmere-pair";
  /// The text of the one send error of the service itself.
  static constexpr std::string_view kNotConnected = "Not connected to peer";
  /// How long an accepted connection may take to send its handshake.
  static constexpr std::chrono::seconds kHandshakeTime{10};
  /// How long a candidate may take to send its first signed message.
  static constexpr std::chrono::seconds kConfirmTime{30};
  /// Connections waiting to prove themselves at once.
  static constexpr std::size_t kMaxCandidates = 8;
  /// Of those, the most that one network address may hold.
  static constexpr std::size_t kMaxCandidatesPerAddress = 2;

  PairingService(PeerNetwork& network, KeychainStore& keychain, DeviceIdentity& identity,
                 const AppSettings& settings);
  ~PairingService();
  PairingService(const PairingService&) = delete;
  PairingService& operator=(const PairingService&) = delete;

  // What the user interface shows.
  PairingState state() const { return state_; }
  const std::optional<std::string>& peerDisplayName() const { return peerDisplayName_; }
  const std::optional<Date>& lastConnectedAt() const { return lastConnectedAt_; }
  const std::optional<std::string>& errorMessage() const { return errorMessage_; }
  const std::optional<std::string>& qrPayloadString() const { return qrPayloadString_; }
  /// This desktop's name on the peer network: its device identifier.
  const std::string& localPeerName() const { return localPeerName_; }
  /// The paired phone's connection, while it is up.
  const std::optional<PeerID>& connectedPeerID() const { return connectedPeerID_; }
  /// Connections accepted that have not proven themselves yet.
  std::size_t candidateCount() const { return candidates_.size(); }
  bool hasSharedSecret() const { return sharedSecret_.has_value(); }
  /// The bond with the paired phone, as stored in the keychain.
  const std::optional<PairingBond>& bond() const { return bond_; }
  /// The secret received messages are checked against: the bond's, when it has
  /// a usable one.
  BondSecret bondSecret() const;
  bool isAdvertising() const { return advertiser_ != nullptr; }

  /// A fresh key pair and nonce, and the QR string that carries them; replaces
  /// any earlier ones (a phone that scanned an older code can no longer pair).
  std::string makeQRPayload();
  void startAdvertising();
  /// Stops advertising; a pairing under way (connections still proving
  /// themselves) ends with it.
  void stopAdvertising();
  /// Advertises again for the bonded phone; also runs by itself when the
  /// session with the paired phone is lost.
  void reconnect();
  /// Ends any session, deletes the bond and clears every secret. Fails when the
  /// keychain keeps the bond (the phone would be known again after a restart);
  /// the session and the secrets in memory are gone all the same.
  Status forgetPairing();

  /// Signs `envelope` with the shared secret (when there is one) and sends it
  /// to the paired phone. Fails with `kNotConnected` when no session with it
  /// is up, or with the network's error.
  Status send(const SyncEnvelope& envelope);

  /// Every message received from the paired phone, starting with the one that
  /// proved it (the envelope's signature is checked again by the receiver).
  Signal<std::string, PeerID>& dataReceived() { return dataReceived_; }
  /// After every change of what the user interface shows.
  Signal<>& changed() { return changed_; }

 private:
  struct Candidate;

  void replaceSession();
  void startAdvertiser();
  void dropAdvertiser();
  void clearEphemeral();
  void setState(PairingState state);
  void notify();
  void invitationReceived(const PeerID& peer, const std::function<void(PeerSession*)>& reply);
  void advertisingFailed(const std::string& error);
  void peerStateChanged(std::uint64_t sessionGeneration, const PeerID& peer,
                        PeerConnectionState peerState);
  void received(std::string bytes, const PeerID& peer);
  void fail(std::string message);

  Candidate* findCandidate(const PeerID& peer);
  void setDeadline(Candidate& candidate, std::chrono::seconds after, std::string_view missing);
  void closeCandidate(PeerID peer, std::string_view why);
  void makeRoomForCandidate(const std::string& address);
  void dropCandidates();
  void afterCandidateLeft();
  void askForProof(Candidate& candidate, std::span<const std::uint8_t> secret);
  void candidateMessage(Candidate& candidate, std::string bytes);
  void handshake(Candidate& candidate, const PairHandshakePayload& payload);
  void confirm(const PeerID& peer, std::string bytes);
  Status sendSigned(const SyncEnvelope& envelope, const PeerID& peer,
                    std::optional<std::span<const std::uint8_t>> secret);

  PeerNetwork& network_;
  KeychainStore& keychain_;
  DeviceIdentity& identity_;
  const AppSettings& settings_;

  PairingState state_ = PairingState::unpaired;
  std::optional<std::string> peerDisplayName_;
  std::optional<Date> lastConnectedAt_;
  std::optional<std::string> errorMessage_;
  std::optional<std::string> qrPayloadString_;
  std::string localPeerName_;
  std::unique_ptr<PeerAdvertiser> advertiser_;
  std::unique_ptr<PeerSession> session_;
  // Events of a session that has since been replaced or dropped are ignored.
  std::uint64_t sessionGeneration_ = 0;
  std::optional<PeerID> connectedPeerID_;
  std::vector<std::unique_ptr<Candidate>> candidates_;
  std::optional<std::array<std::uint8_t, 32>> ephemeralPrivateKey_;
  std::optional<std::array<std::uint8_t, 16>> sessionNonce_;
  std::optional<Bytes> sharedSecret_;
  std::optional<PairingBond> bond_;

  Signal<std::string, PeerID> dataReceived_;
  Signal<> changed_;
  // Lets callbacks that outlive this object notice that it is gone.
  std::shared_ptr<PairingService*> alive_;
};

}  // namespace qm
