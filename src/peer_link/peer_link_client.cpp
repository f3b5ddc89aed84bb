#include "peer_link/peer_link_client.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <utility>

#include "common/log.h"
#include "peer_link/peer_link_connection.h"
#include "peer_link/peer_link_invitation.h"
#include "peer_link/peer_link_tls.h"

namespace qm {

using asio::ip::tcp;

/// Shared with the handlers of the connection (weakly), so that the client
/// may go away at any time.
struct PeerLinkClient::State : std::enable_shared_from_this<PeerLinkClient::State> {
  enum class Phase { idle, connecting, inviting, connected, ended };

  asio::io_context& io;
  PeerLinkClientEvents events;
  PeerLinkClientOptions options;
  tcp::resolver resolver;
  std::shared_ptr<PeerLinkConnection> connection;
  std::string target;
  std::string localName;
  std::string desktopName;
  Phase phase = Phase::idle;

  State(asio::io_context& context, PeerLinkClientEvents clientEvents,
        PeerLinkClientOptions clientOptions)
      : io(context), events(std::move(clientEvents)), options(clientOptions), resolver(context) {}

  void connect(const std::string& host, std::uint16_t port, const std::string& name) {
    if (phase != Phase::idle) return;
    phase = Phase::connecting;
    target = host + ":" + std::to_string(port);
    localName = name;
    auto tls = makePeerLinkClientContext();
    if (!tls) {
      // Reported from the loop, like every other outcome of connecting.
      asio::post(io, [weak = weak_from_this(), why = tls.error().message] {
        if (auto self = weak.lock()) self->finish(PeerLinkClientEnd::failed, why);
      });
      return;
    }
    connection =
        std::make_shared<PeerLinkConnection>(tcp::socket(io), std::move(*tls), "link to " + target);
    // The answer to the invitation is small; bigger frames wait for acceptance.
    connection->setMaxFrameBytes(kMaxInvitationBytes);
    connection->setHandlers({
        [weak = weak_from_this()](std::string frame) {
          if (auto self = weak.lock()) self->received(std::move(frame));
        },
        [weak = weak_from_this()](const std::string& why, bool) {
          if (auto self = weak.lock()) self->ended(why);
        },
    });
    connection->expireAfter(options.connectTimeout,
                            "no TLS connection to " + target + " within " +
                                std::to_string(options.connectTimeout.count()) + " ms");
    resolver.async_resolve(
        host, std::to_string(port),
        [weak = weak_from_this()](std::error_code ec, tcp::resolver::results_type results) {
          auto self = weak.lock();
          if (!self || self->phase != Phase::connecting) return;
          if (ec) {
            self->finish(PeerLinkClientEnd::failed,
                         "could not resolve " + self->target + ": " + ec.message());
            return;
          }
          self->connection->connect(results, [weak](std::error_code connectError) {
            if (auto again = weak.lock()) again->connected(connectError);
          });
        });
  }

  void connected(const std::error_code& ec) {
    if (phase != Phase::connecting) return;
    if (ec) {
      finish(PeerLinkClientEnd::failed, "could not connect to " + target + ": " + ec.message());
      return;
    }
    connection->applyKeepAlive(options.keepAlive);
    connection->handshake(asio::ssl::stream_base::client,
                          [weak = weak_from_this()](std::error_code handshakeError) {
                            if (auto self = weak.lock()) self->handshaken(handshakeError);
                          });
  }

  void handshaken(const std::error_code& ec) {
    if (phase != Phase::connecting) return;
    if (ec) {
      finish(PeerLinkClientEnd::failed,
             "TLS handshake with " + target + " failed: " + ec.message());
      return;
    }
    connection->cancelDeadline();
    phase = Phase::inviting;
    (void)connection->send(encodeInvitation(localName));
    connection->startReading();
  }

  void received(std::string frame) {
    if (phase == Phase::connected) {
      if (events.dataReceived) events.dataReceived(std::move(frame));
      return;
    }
    if (phase != Phase::inviting) return;
    auto reply = decodeInvitationReply(frame);
    if (!reply) {
      finish(PeerLinkClientEnd::failed,
             "malformed answer to the invitation: " + reply.error().message);
      return;
    }
    desktopName = reply->peerName;
    if (!reply->accepted) {
      finish(PeerLinkClientEnd::declined, desktopName + " declined the invitation");
      return;
    }
    phase = Phase::connected;
    connection->setMaxFrameBytes(kMaxFrameBytes);
    log::pairing().info("Peer link to {} accepted by {}", target, desktopName);
    if (events.connected) events.connected(desktopName);
  }

  void ended(const std::string& why) {
    if (phase == Phase::ended || phase == Phase::idle) return;
    if (phase == Phase::connected) {
      finish(PeerLinkClientEnd::closed, why);
    } else if (phase == Phase::inviting) {
      finish(PeerLinkClientEnd::failed, "no answer to the invitation from " + target + ": " + why);
    } else {
      finish(PeerLinkClientEnd::failed, why);
    }
  }

  /// Ends the connection and reports how, once.
  void finish(PeerLinkClientEnd how, const std::string& detail) {
    if (phase == Phase::ended) return;
    phase = Phase::ended;
    resolver.cancel();
    if (connection) connection->close();
    // Moved out: the callback may destroy the client, and with it `events`.
    auto report = std::move(events.ended);
    events.ended = nullptr;
    if (report) report(how, detail);
  }

  void close() {
    if (phase == Phase::ended) return;
    const bool established = phase == Phase::inviting || phase == Phase::connected;
    phase = Phase::ended;
    resolver.cancel();
    if (!connection) return;
    if (established) {
      connection->closeGracefully(options.closeLinger);
    } else {
      connection->close();
    }
  }
};

PeerLinkClient::PeerLinkClient(asio::io_context& io, PeerLinkClientEvents events,
                               PeerLinkClientOptions options)
    : state_(std::make_shared<State>(io, std::move(events), options)) {}

PeerLinkClient::~PeerLinkClient() {
  state_->close();
}

void PeerLinkClient::connect(const std::string& host, std::uint16_t port,
                             const std::string& localName) {
  state_->connect(host, port, localName);
}

bool PeerLinkClient::isConnected() const {
  return state_->phase == State::Phase::connected;
}

const std::string& PeerLinkClient::desktopName() const {
  return state_->desktopName;
}

Status PeerLinkClient::send(std::string_view bytes) {
  if (state_->phase != State::Phase::connected) return Error("Not connected to a companion");
  return state_->connection->send(bytes);
}

void PeerLinkClient::close() {
  state_->close();
}

}  // namespace qm
