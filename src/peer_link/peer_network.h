#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

// The local peer-to-peer network the desktop and the phone meet on: the
// desktop advertises a service, the phone finds it and invites the desktop
// into a session, and both then exchange whole messages, reliably and in
// order. `PairingService` works against these interfaces; the peer link
// (TLS over TCP with DNS-SD advertising) implements them, and tests may plug
// in their own.
//
// Every callback runs on the thread that runs the companion's main loop.

namespace qm {

/// One peer as seen by this side: the display name it announced, a number
/// that tells two connections apart (the same phone connecting again is a new
/// peer with the same name) and the network address it connects from (without
/// the port; empty when unknown), which tells devices apart.
struct PeerID {
  std::string displayName;
  std::uint64_t connection = 0;
  std::string address;

  friend bool operator==(const PeerID& a, const PeerID& b) { return a.connection == b.connection; }
};

/// Where a peer's connection to a session stands.
enum class PeerConnectionState { notConnected, connecting, connected };

/// The raw value used in log lines: "notConnected", "connecting", "connected".
std::string_view peerConnectionStateName(PeerConnectionState state);

/// What a session reports about its peers and their messages.
struct PeerSessionEvents {
  std::function<void(const PeerID&, PeerConnectionState)> peerStateChanged;
  /// One whole message from a connected peer.
  std::function<void(std::string bytes, const PeerID&)> dataReceived;
};

/// The connections accepted into one session. Dropping the session
/// disconnects them.
class PeerSession {
 public:
  virtual ~PeerSession() = default;
  /// Peers whose connection is up, in the order they connected.
  virtual std::vector<PeerID> connectedPeers() const = 0;
  /// Queues `bytes` as one message to `peer`; fails at once when the peer is
  /// not connected to this session (delivery itself is reliable and ordered).
  virtual Status send(std::string_view bytes, const PeerID& peer) = 0;
  /// Closes every connection; each connected peer is reported not connected.
  virtual void disconnect() = 0;
  /// Closes the connection of `peer` alone (what is queued still goes out); it
  /// is reported not connected. Nothing happens for a peer not in the session.
  virtual void disconnect(const PeerID& peer) = 0;
};

/// What an advertiser reports.
struct AdvertiserEvents {
  /// A peer asks to join. Call `reply` once, with the session to accept it
  /// into, or with none to decline; it may be called later, but only while the
  /// advertiser lives.
  std::function<void(const PeerID&, std::function<void(PeerSession*)> reply)> invitationReceived;
  /// Advertising could not start (or stopped working); the text says why.
  std::function<void(const std::string&)> advertisingFailed;
};

/// Makes this side visible and takes invitations while it lives; destroying it
/// (or `stop`) stops both. Sessions already joined are not touched.
class PeerAdvertiser {
 public:
  virtual ~PeerAdvertiser() = default;
  virtual void stop() = 0;
};

/// A call waiting for its time; destroying the handle cancels it.
class PeerTimer {
 public:
  virtual ~PeerTimer() = default;
};

/// Sessions and advertisers of one peer network, and the clock that puts
/// deadlines on its peers.
class PeerNetwork {
 public:
  virtual ~PeerNetwork() = default;
  /// Calls `fn` on the main loop after `delay`, unless the handle is gone first.
  virtual std::unique_ptr<PeerTimer> callAfter(std::chrono::milliseconds delay,
                                               std::function<void()> fn) = 0;
  virtual std::unique_ptr<PeerSession> makeSession(PeerSessionEvents events) = 0;
  /// Starts advertising `serviceType` under `localName` with the discovery
  /// information `txt`. Failures to start are reported through
  /// `advertisingFailed` (possibly after returning).
  virtual std::unique_ptr<PeerAdvertiser> startAdvertising(
      const std::string& localName, const std::map<std::string, std::string>& txt,
      std::string_view serviceType, AdvertiserEvents events) = 0;
};

}  // namespace qm
