#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "peer_link/peer_network.h"

// The peer link: the companion's `PeerNetwork` over the local network. TLS 1.3
// over TCP, one length-prefixed frame per message, an invitation as the first
// frame, DNS-SD (Avahi) to be found. docs/peer-link.md describes what goes
// over the wire.

namespace asio {
class io_context;
}

namespace qm {

/// TCP keep-alive timers: a peer that vanishes without closing (out of Wi-Fi
/// range, battery gone) is noticed after about `userTimeout` when data is
/// waiting to go to it, or after idle + interval × probes when the link is
/// quiet; its connection then ends like any other.
struct PeerLinkKeepAlive {
  std::chrono::seconds idle{10};
  std::chrono::seconds interval{5};
  int probes = 3;
  std::chrono::milliseconds userTimeout{30'000};
};

struct PeerLinkOptions {
  /// The port advertisers listen on; 0 takes any free port (see `listeningPort`).
  std::uint16_t port = 23817;
  /// The address advertisers listen on; empty means every interface, IPv6 and
  /// IPv4 alike.
  std::string bindAddress;
  /// A connection that has not finished TLS and sent its invitation within
  /// this time is closed.
  std::chrono::milliseconds invitationTimeout{10'000};
  /// How long a connection being closed may take to send what is still queued
  /// and end TLS before it is simply cut.
  std::chrono::milliseconds closeLinger{2'000};
  PeerLinkKeepAlive keepAlive;
  /// Whether advertisers publish the service over DNS-SD (tests turn it off).
  bool publishDnsSd = true;
  /// At most this many accepted connections may wait to invite at once; a
  /// newer one closes the oldest, so silent connections cannot use up the
  /// descriptors while a phone is trying to pair.
  std::size_t maxUninvitedConnections = 32;
};

/// A `PeerNetwork` that also tells where it listens.
class PeerLink : public PeerNetwork {
 public:
  /// The port of the live advertiser's listener; none while no advertiser
  /// listens.
  virtual std::optional<std::uint16_t> listeningPort() const = 0;
};

/// The peer link on the loop `io`; every callback runs on that loop's thread.
/// Makes the TLS certificate on the spot; fails only when OpenSSL cannot.
Result<std::unique_ptr<PeerLink>> makePeerLink(asio::io_context& io, PeerLinkOptions options = {});

}  // namespace qm
