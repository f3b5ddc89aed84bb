#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/result.h"
#include "peer_link/peer_link.h"

// The phone's end of the peer link: connects to the companion, runs TLS,
// sends the invitation and, once accepted, exchanges messages. Used by the
// phone simulator and by tests.

namespace asio {
class io_context;
}

namespace qm {

struct PeerLinkClientOptions {
  /// Connecting and the TLS handshake together may take this long.
  std::chrono::milliseconds connectTimeout{10'000};
  /// How long `close` may take to send what is still queued.
  std::chrono::milliseconds closeLinger{2'000};
  PeerLinkKeepAlive keepAlive;
};

/// How a client's connection ended.
enum class PeerLinkClientEnd {
  declined,  ///< the companion answered the invitation with "accepted": false
  failed,    ///< no connection, no TLS, or no proper answer to the invitation
  closed,    ///< the connection ended after it was accepted
};

struct PeerLinkClientEvents {
  /// The companion accepted the invitation; `desktopName` is the name in its
  /// answer. Messages may flow from now on.
  std::function<void(const std::string& desktopName)> connected;
  /// One whole message from the companion.
  std::function<void(std::string bytes)> dataReceived;
  /// The connection is over. Called once, and never after `close` or the
  /// client's destruction.
  std::function<void(PeerLinkClientEnd how, const std::string& detail)> ended;
};

/// One connection to a companion. Every callback runs on the thread that runs
/// `io`; the client may be destroyed from inside any of them.
class PeerLinkClient {
 public:
  PeerLinkClient(asio::io_context& io, PeerLinkClientEvents events,
                 PeerLinkClientOptions options = {});
  /// Closes the connection like `close`.
  ~PeerLinkClient();
  PeerLinkClient(const PeerLinkClient&) = delete;
  PeerLinkClient& operator=(const PeerLinkClient&) = delete;

  /// Connects to `host`:`port` and invites the companion under `localName`
  /// (the phone's device identifier). Once per client.
  void connect(const std::string& host, std::uint16_t port, const std::string& localName);

  /// Whether the invitation was accepted and the connection is still up.
  bool isConnected() const;
  /// The companion's name from its answer (empty before it).
  const std::string& desktopName() const;

  /// Queues `bytes` as one message; fails at once unless connected.
  Status send(std::string_view bytes);
  /// Sends what is queued, then closes. Nothing is reported afterwards.
  void close();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace qm
