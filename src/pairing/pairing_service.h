#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/date.h"
#include "common/enum_info.h"
#include "common/result.h"
#include "pairing/peer_network.h"
#include "sync/sync_envelope.h"

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
/// bond is loaded at construction so that envelopes are signed as soon as a
/// session exists, but the state always starts `unpaired`.
///
/// Everything runs on the main loop's thread.
class PairingService {
 public:
  /// The peer-network service type and its discovery information.
  static constexpr std::string_view kServiceType = "quillmere-pair";
  /// The text of the one send error of the service itself.
  static constexpr std::string_view kNotConnected = "Not connected to peer";

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
  /// The phone last invited or connected.
  const std::optional<PeerID>& connectedPeerID() const { return connectedPeerID_; }
  bool hasSharedSecret() const { return sharedSecret_.has_value(); }
  bool isAdvertising() const { return advertiser_ != nullptr; }

  /// A fresh key pair and nonce, and the QR string that carries them; replaces
  /// any earlier ones (a phone that scanned an older code can no longer pair).
  std::string makeQRPayload();
  void startAdvertising();
  void stopAdvertising();
  /// Advertises again for the bonded phone; also runs by itself when the
  /// session with the paired phone is lost.
  void reconnect();
  /// Ends any session, deletes the bond and clears every secret.
  void forgetPairing();

  /// Signs `envelope` with the shared secret (when there is one) and sends it
  /// to the connected phone. Fails with `kNotConnected` when no session with it
  /// is up, or with the network's error.
  Status send(const SyncEnvelope& envelope);

  /// The phone's "pair.handshake": derives the shared secret, stores the bond
  /// and answers with a signed "pair.ack".
  void handleHandshake(const PairHandshakePayload& payload);

  /// Called with every message received from a peer of the session, whoever
  /// sent it (the envelope's signature says whether it is the bonded phone).
  void onDataReceived(std::function<void(std::string bytes, const PeerID& from)> handler) {
    dataReceived_ = std::move(handler);
  }
  /// Called after every change of what the user interface shows.
  void onChange(std::function<void()> handler) { changed_ = std::move(handler); }

 private:
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
  void fail(std::string message);

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
  std::optional<std::array<std::uint8_t, 32>> ephemeralPrivateKey_;
  std::optional<std::array<std::uint8_t, 16>> sessionNonce_;
  std::optional<Bytes> sharedSecret_;

  std::function<void(std::string, const PeerID&)> dataReceived_;
  std::function<void()> changed_;
  // Lets callbacks that outlive this object notice that it is gone.
  std::shared_ptr<PairingService*> alive_;
};

}  // namespace qm
