#include "peer_link/peer_link.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ip/v6_only.hpp>
#include <asio/post.hpp>
#include <asio/ssl/context.hpp>
#include <asio/steady_timer.hpp>
#include <map>
#include <utility>
#include <vector>

#include "common/log.h"
#include "peer_link/dns_sd.h"
#include "peer_link/peer_link_connection.h"
#include "peer_link/peer_link_invitation.h"
#include "peer_link/peer_link_tls.h"
#include "peer_link/tls_identity.h"

namespace qm {

namespace {

using asio::ip::tcp;

/// How long the listener waits before accepting again after running out of
/// file descriptors or memory.
constexpr std::chrono::milliseconds kAcceptRetryDelay{100};

class AdvertiserState;

/// What a person whose phone cannot discover this computer must type on the
/// phone instead: this computer's network addresses (IPv4 first; loopback and
/// link-local ones are of no use to the phone) and the port.
std::string addressByHand(const std::string& bindAddress, std::uint16_t port) {
  std::vector<std::string> addresses;
  if (!bindAddress.empty()) addresses.push_back(bindAddress);
  ifaddrs* interfaces = nullptr;
  if (bindAddress.empty() && ::getifaddrs(&interfaces) == 0) {
    std::vector<std::string> v6;
    for (const ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
      if (i->ifa_addr == nullptr || (i->ifa_flags & IFF_UP) == 0 ||
          (i->ifa_flags & IFF_LOOPBACK) != 0)
        continue;
      char text[INET6_ADDRSTRLEN] = {};
      if (i->ifa_addr->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) addresses.emplace_back(text);
      } else if (i->ifa_addr->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr);
        if (IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr) || IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr))
          continue;
        if (::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text)) v6.emplace_back(text);
      }
    }
    ::freeifaddrs(interfaces);
    addresses.insert(addresses.end(), v6.begin(), v6.end());
  }
  std::erase_if(addresses, [&, seen = std::vector<std::string>()](const std::string& a) mutable {
    if (std::find(seen.begin(), seen.end(), a) != seen.end()) return true;
    seen.push_back(a);
    return false;
  });
  const std::string portText = std::to_string(port);
  if (addresses.empty()) {
    return "the phone will not find this computer by itself, and this computer has no network "
           "address yet: connect it to the phone's network, then type its address and port " +
           portText + " on the phone";
  }
  std::string text =
      "the phone will not find this computer by itself: type address " + addresses.front();
  for (std::size_t k = 1; k < addresses.size(); ++k)
    text += (k == 1 ? " (or " : ", ") + addresses[k];
  if (addresses.size() > 1) text += ")";
  return text + " and port " + portText + " on the phone";
}

/// What a network shares with its sessions and advertisers, which may outlive it.
struct Core {
  asio::io_context& io;
  PeerLinkOptions options;
  std::shared_ptr<asio::ssl::context> tls;
  std::uint64_t nextConnection = 1;
  /// Advertisers in the order they started; the last one still listening owns
  /// `listeningPort`.
  std::vector<std::weak_ptr<AdvertiserState>> advertisers;
  /// The note that DNS-SD is unavailable is logged once, not at every start.
  bool dnsSdNoteLogged = false;

  Core(asio::io_context& context, PeerLinkOptions linkOptions,
       std::shared_ptr<asio::ssl::context> serverContext)
      : io(context), options(std::move(linkOptions)), tls(std::move(serverContext)) {}
};

// --- sessions ----------------------------------------------------------------

/// The state of one session, shared with the handlers of its connections.
///
/// Every report to the session's owner is posted to the loop, never made from
/// inside a call the owner made (`send`, `disconnect`, an invitation's reply);
/// as the loop runs posted work in order, reports keep the order in which the
/// states changed.
class SessionState : public std::enable_shared_from_this<SessionState> {
 public:
  SessionState(std::shared_ptr<Core> core, PeerSessionEvents events)
      : core_(std::move(core)), events_(std::move(events)) {}

  void admit(const PeerID& peer, std::shared_ptr<PeerLinkConnection> connection,
             const std::string& reply) {
    const std::uint64_t id = peer.connection;
    connection->setMaxFrameBytes(kMaxFrameBytes);
    connection->setHandlers({
        [weak = weak_from_this(), id](std::string frame) {
          if (auto self = weak.lock()) self->received(id, std::move(frame));
        },
        [weak = weak_from_this(), id](const std::string& why, bool orderly) {
          if (auto self = weak.lock()) self->ended(id, why, orderly);
        },
    });
    members_.push_back(Member{peer, connection, false, 0, {}});
    report(peer, PeerConnectionState::connecting);
    (void)connection->send(reply);
    connection->whenSent([weak = weak_from_this(), id] {
      if (auto self = weak.lock()) self->replySent(id);
    });
  }

  void disconnect(const PeerID& peer) {
    const auto member = find(peer.connection);
    if (member == members_.end()) return;
    auto connection = member->connection;
    members_.erase(member);
    connection->closeGracefully(core_->options.closeLinger);
    log::pairing().info("Disconnected peer {} ({})", peer.displayName, connection->name());
    report(peer, PeerConnectionState::notConnected);
  }

  std::vector<PeerID> connectedPeers() const {
    std::vector<const Member*> connected;
    for (const auto& member : members_) {
      if (member.connected) connected.push_back(&member);
    }
    std::sort(connected.begin(), connected.end(),
              [](const Member* a, const Member* b) { return a->order < b->order; });
    std::vector<PeerID> peers;
    for (const Member* member : connected) peers.push_back(member->peer);
    return peers;
  }

  Status send(std::string_view bytes, const PeerID& peer) {
    const auto member = find(peer.connection);
    if (member == members_.end() || !member->connected) {
      return Error(ErrorCode::unavailable,
                   "Peer " + peer.displayName + " is not connected to this session");
    }
    return member->connection->send(bytes);
  }

  /// Closes every connection (gracefully: what is queued still goes out),
  /// reporting each peer not connected if `reportEnds`.
  void disconnect(bool reportEnds) {
    auto members = std::move(members_);
    members_.clear();
    for (auto& member : members) {
      member.connection->closeGracefully(core_->options.closeLinger);
      log::pairing().info("Disconnected peer {} ({})", member.peer.displayName,
                          member.connection->name());
      if (reportEnds) report(member.peer, PeerConnectionState::notConnected);
    }
  }

 private:
  struct Member {
    PeerID peer;
    std::shared_ptr<PeerLinkConnection> connection;
    bool connected = false;
    std::uint64_t order = 0;  ///< when it became connected
    /// Messages that came before the reply was out; a phone should wait for
    /// the reply, but if it does not they are delivered right after `connected`.
    std::vector<std::string> early;
  };

  std::vector<Member>::iterator find(std::uint64_t id) {
    return std::find_if(members_.begin(), members_.end(),
                        [id](const Member& m) { return m.peer.connection == id; });
  }

  void replySent(std::uint64_t id) {
    const auto member = find(id);
    if (member == members_.end()) return;
    member->connected = true;
    member->order = nextOrder_++;
    log::pairing().info("Peer {} connected ({})", member->peer.displayName,
                        member->connection->name());
    report(member->peer, PeerConnectionState::connected);
    for (auto& message : member->early) deliver(member->peer, std::move(message));
    member->early.clear();
  }

  void received(std::uint64_t id, std::string frame) {
    const auto member = find(id);
    if (member == members_.end()) return;
    if (member->connected) {
      deliver(member->peer, std::move(frame));
    } else {
      member->early.push_back(std::move(frame));
    }
  }

  void ended(std::uint64_t id, const std::string& why, bool orderly) {
    const auto member = find(id);
    if (member == members_.end()) return;
    const PeerID peer = member->peer;
    log::pairing().log(orderly ? spdlog::level::info : spdlog::level::warn,
                       "Peer {} disconnected ({}): {}", peer.displayName,
                       member->connection->name(), why);
    members_.erase(member);
    report(peer, PeerConnectionState::notConnected);
  }

  void report(const PeerID& peer, PeerConnectionState state) {
    asio::post(core_->io, [weak = weak_from_this(), peer, state] {
      auto self = weak.lock();
      if (self && self->events_.peerStateChanged) self->events_.peerStateChanged(peer, state);
    });
  }

  void deliver(const PeerID& peer, std::string message) {
    asio::post(core_->io, [weak = weak_from_this(), peer, message = std::move(message)]() mutable {
      auto self = weak.lock();
      if (self && self->events_.dataReceived) self->events_.dataReceived(std::move(message), peer);
    });
  }

  std::shared_ptr<Core> core_;
  PeerSessionEvents events_;
  std::vector<Member> members_;  ///< in the order they were accepted
  std::uint64_t nextOrder_ = 0;
};

class Session : public PeerSession {
 public:
  Session(std::shared_ptr<Core> core, PeerSessionEvents events)
      : state_(std::make_shared<SessionState>(std::move(core), std::move(events))) {}
  ~Session() override { state_->disconnect(false); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  std::vector<PeerID> connectedPeers() const override { return state_->connectedPeers(); }
  Status send(std::string_view bytes, const PeerID& peer) override {
    return state_->send(bytes, peer);
  }
  void disconnect() override { state_->disconnect(true); }
  void disconnect(const PeerID& peer) override { state_->disconnect(peer); }

  SessionState& state() { return *state_; }

 private:
  std::shared_ptr<SessionState> state_;
};

// --- advertisers -------------------------------------------------------------

/// A listener and the connections it accepted that have not joined a session.
class AdvertiserState : public std::enable_shared_from_this<AdvertiserState> {
 public:
  AdvertiserState(std::shared_ptr<Core> core, std::string localName, AdvertiserEvents events)
      : core_(std::move(core)),
        localName_(std::move(localName)),
        events_(std::move(events)),
        acceptor_(core_->io),
        retryTimer_(core_->io) {}

  std::optional<std::uint16_t> port() const {
    if (!acceptor_.is_open()) return std::nullopt;
    return port_;
  }

  void start(const std::map<std::string, std::string>& txt, std::string_view serviceType) {
    if (auto listening = listen(); !listening) {
      log::pairing().error("Peer link advertising failed: {}", listening.error().message);
      // Reported from the loop, so that the owner already holds the advertiser.
      asio::post(core_->io, [weak = weak_from_this(), why = listening.error().message] {
        auto self = weak.lock();
        if (self && !self->stopped_ && self->events_.advertisingFailed) {
          self->events_.advertisingFailed(why);
        }
      });
      return;
    }
    log::pairing().info("Peer link listening on port {} as {}", port_, localName_);
    accept();
    if (core_->options.publishDnsSd) {
      DnsSdService service{localName_, dnsSdServiceType(serviceType), port_, txt};
      dnsSd_ = std::make_unique<DnsSdPublisher>(core_->io, std::move(service), dnsSdEvents());
    }
  }

  void stop() {
    if (stopped_) return;
    stopped_ = true;
    std::error_code ignored;
    acceptor_.close(ignored);
    retryTimer_.cancel();
    dnsSd_.reset();
    auto pending = std::move(pending_);
    pending_.clear();
    for (auto& [id, entry] : pending) entry.connection->close();
    log::pairing().info("Peer link stopped advertising {}", localName_);
  }

 private:
  struct Pending {
    std::shared_ptr<PeerLinkConnection> connection;
    std::optional<PeerID> inviter;  ///< set once its invitation arrived
    std::string address;            ///< where it came from (without the port)
  };

  Status listen() {
    const auto& options = core_->options;
    std::error_code ec;
    tcp::endpoint endpoint;
    if (options.bindAddress.empty()) {
      // Every interface: IPv6 with IPv4-mapped addresses where the host has
      // IPv6, else IPv4 alone.
      endpoint = tcp::endpoint(tcp::v6(), options.port);
      acceptor_.open(tcp::v6(), ec);
      if (!ec) acceptor_.set_option(asio::ip::v6_only(false), ec);
      if (ec) {
        std::error_code ignored;
        acceptor_.close(ignored);
        endpoint = tcp::endpoint(tcp::v4(), options.port);
        ec.clear();
        acceptor_.open(tcp::v4(), ec);
      }
    } else {
      const auto address = asio::ip::make_address(options.bindAddress, ec);
      if (ec) return Error("invalid address to listen on: " + options.bindAddress);
      endpoint = tcp::endpoint(address, options.port);
      acceptor_.open(endpoint.protocol(), ec);
    }
    if (!ec) acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor_.bind(endpoint, ec);
    if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    if (!ec) port_ = acceptor_.local_endpoint(ec).port();
    if (ec) {
      std::error_code ignored;
      acceptor_.close(ignored);
      return Error("could not listen on port " + std::to_string(options.port) + ": " +
                   ec.message());
    }
    return {};
  }

  DnsSdEvents dnsSdEvents() {
    DnsSdEvents events;
    events.published = [weak = weak_from_this()](const std::string& name) {
      auto self = weak.lock();
      if (!self) return;
      self->core_->dnsSdNoteLogged = false;
      log::pairing().info("DNS-SD: advertising {} on port {}", name, self->port_);
    };
    events.unavailable = [weak = weak_from_this()](const std::string& why) {
      auto self = weak.lock();
      if (!self) return;
      const auto level = self->core_->dnsSdNoteLogged ? spdlog::level::debug : spdlog::level::info;
      self->core_->dnsSdNoteLogged = true;
      log::pairing().log(level,
                         "DNS-SD advertising unavailable: {}; still listening on port {}; {}", why,
                         self->port_, addressByHand(self->core_->options.bindAddress, self->port_));
    };
    events.failed = [weak = weak_from_this()](const std::string& why) {
      auto self = weak.lock();
      if (!self) return;
      log::pairing().warn("DNS-SD advertising failed: {}; still listening on port {}; {}", why,
                          self->port_,
                          addressByHand(self->core_->options.bindAddress, self->port_));
    };
    return events;
  }

  void accept() {
    acceptor_.async_accept([weak = weak_from_this()](std::error_code ec, tcp::socket socket) {
      auto self = weak.lock();
      if (!self || self->stopped_ || ec == asio::error::operation_aborted) return;
      if (!ec) {
        self->adopt(std::move(socket));
        self->accept();
      } else if (ec == asio::error::connection_aborted) {
        self->accept();  // the peer gave up before it was accepted
      } else if (ec == asio::error::no_descriptors || ec == asio::error::no_buffer_space ||
                 ec == asio::error::no_memory || ec == std::errc::too_many_files_open_in_system) {
        log::pairing().warn("Peer link cannot accept connections for now: {}", ec.message());
        self->retryTimer_.expires_after(kAcceptRetryDelay);
        self->retryTimer_.async_wait([weak](std::error_code waited) {
          auto again = weak.lock();
          if (!waited && again && !again->stopped_) again->accept();
        });
      } else {
        self->listenerFailed(ec);
      }
    });
  }

  void listenerFailed(const std::error_code& ec) {
    const std::string why =
        "the listener on port " + std::to_string(port_) + " failed: " + ec.message();
    log::pairing().error("Peer link advertising failed: {}", why);
    std::error_code ignored;
    acceptor_.close(ignored);
    dnsSd_.reset();
    if (events_.advertisingFailed) events_.advertisingFailed(why);
  }

  void adopt(tcp::socket socket) {
    const std::uint64_t id = core_->nextConnection++;
    std::error_code ec;
    const auto remote = socket.remote_endpoint(ec);
    std::string name = "connection " + std::to_string(id);
    const std::string address = ec ? std::string() : remote.address().to_string();
    if (!ec) name += " from " + address + ":" + std::to_string(remote.port());
    auto connection =
        std::make_shared<PeerLinkConnection>(std::move(socket), core_->tls, std::move(name));
    connection->applyKeepAlive(core_->options.keepAlive);
    connection->setMaxFrameBytes(kMaxInvitationBytes);
    connection->setHandlers({
        [weak = weak_from_this(), id](std::string frame) {
          if (auto self = weak.lock()) self->received(id, frame);
        },
        [weak = weak_from_this(), id](const std::string& why, bool orderly) {
          if (auto self = weak.lock()) self->ended(id, why, orderly);
        },
    });
    const auto limit = core_->options.invitationTimeout;
    connection->expireAfter(limit, "no invitation within " + std::to_string(limit.count()) + " ms");
    makeRoomForOneMore();
    pending_.emplace(id, Pending{connection, std::nullopt, address});
    log::pairing().debug("Peer link {} accepted", connection->name());
    connection->handshake(asio::ssl::stream_base::server,
                          [weak = std::weak_ptr(connection)](std::error_code handshakeError) {
                            auto c = weak.lock();
                            if (!c) return;
                            if (handshakeError) {
                              c->fail("TLS handshake failed: " + handshakeError.message());
                            } else {
                              c->startReading();
                            }
                          });
  }

  /// Closes connections that have not invited yet while they are at the limit:
  /// the oldest of the address that holds the most, so that a device flooding
  /// the port mostly pushes out its own connections, not the phone's.
  void makeRoomForOneMore() {
    const auto uninvited = [](const auto& entry) { return !entry.second.inviter; };
    const std::size_t limit = std::max<std::size_t>(core_->options.maxUninvitedConnections, 1);
    while (static_cast<std::size_t>(std::count_if(pending_.begin(), pending_.end(), uninvited)) >=
           limit) {
      std::map<std::string, std::size_t> perAddress;
      for (const auto& entry : pending_)
        if (uninvited(entry)) ++perAddress[entry.second.address];
      const auto busiest = std::max_element(perAddress.begin(), perAddress.end(),
                                            [](auto& a, auto& b) { return a.second < b.second; });
      const auto oldest = std::find_if(pending_.begin(), pending_.end(), [&](const auto& entry) {
        return uninvited(entry) && entry.second.address == busiest->first;
      });
      const std::uint64_t oldestID = oldest->first;
      const auto connection = oldest->second.connection;
      connection->fail("too many connections waiting to invite; the oldest is closed");
      pending_.erase(oldestID);
    }
  }

  void received(std::uint64_t id, const std::string& frame) {
    const auto entry = pending_.find(id);
    if (entry == pending_.end()) return;
    // A copy: failing the connection removes the entry.
    const auto connection = entry->second.connection;
    if (entry->second.inviter) {
      connection->fail("sent a message before its invitation was answered");
      return;
    }
    auto peerName = decodeInvitation(frame);
    if (!peerName) {
      connection->fail("malformed invitation: " + peerName.error().message);
      return;
    }
    connection->cancelDeadline();
    const PeerID inviter{std::move(*peerName), id, entry->second.address};
    entry->second.inviter = inviter;
    log::pairing().info("Invitation from {} ({})", inviter.displayName, connection->name());
    if (!events_.invitationReceived) {
      answer(id, nullptr);
      return;
    }
    events_.invitationReceived(inviter, [weak = weak_from_this(), id](PeerSession* session) {
      if (auto self = weak.lock()) self->answer(id, session);
    });
  }

  void answer(std::uint64_t id, PeerSession* session) {
    const auto entry = pending_.find(id);
    // Already answered, or the connection is gone.
    if (entry == pending_.end() || !entry->second.inviter) return;
    auto connection = entry->second.connection;
    const PeerID inviter = *entry->second.inviter;
    pending_.erase(entry);
    auto* ours = dynamic_cast<Session*>(session);
    if (session != nullptr && ours == nullptr) {
      log::pairing().error("Invitation from {} answered with a session of another network",
                           inviter.displayName);
    }
    if (ours == nullptr) {
      log::pairing().info("Declined invitation from {} ({})", inviter.displayName,
                          connection->name());
      (void)connection->send(encodeInvitationReply({false, localName_}));
      connection->closeGracefully(core_->options.closeLinger);
      return;
    }
    log::pairing().info("Accepted invitation from {} ({})", inviter.displayName,
                        connection->name());
    ours->state().admit(inviter, std::move(connection), encodeInvitationReply({true, localName_}));
  }

  void ended(std::uint64_t id, const std::string& why, bool orderly) {
    const auto entry = pending_.find(id);
    if (entry == pending_.end()) return;
    const auto& connection = *entry->second.connection;
    const auto level = orderly ? spdlog::level::info : spdlog::level::warn;
    if (entry->second.inviter) {
      log::pairing().log(level, "Peer {} left before its invitation was answered ({}): {}",
                         entry->second.inviter->displayName, connection.name(), why);
    } else {
      log::pairing().log(level, "Closed peer link {}: {}", connection.name(), why);
    }
    pending_.erase(entry);
  }

  std::shared_ptr<Core> core_;
  std::string localName_;
  AdvertiserEvents events_;
  tcp::acceptor acceptor_;
  asio::steady_timer retryTimer_;
  std::uint16_t port_ = 0;
  bool stopped_ = false;
  std::unique_ptr<DnsSdPublisher> dnsSd_;
  std::map<std::uint64_t, Pending> pending_;
};

class Advertiser : public PeerAdvertiser {
 public:
  explicit Advertiser(std::shared_ptr<AdvertiserState> state) : state_(std::move(state)) {}
  ~Advertiser() override { state_->stop(); }
  Advertiser(const Advertiser&) = delete;
  Advertiser& operator=(const Advertiser&) = delete;

  void stop() override { state_->stop(); }

 private:
  std::shared_ptr<AdvertiserState> state_;
};

// --- the network -------------------------------------------------------------

/// An asio timer that calls its function unless cancelled by its destruction.
class Timer : public PeerTimer {
 public:
  Timer(asio::io_context& io, std::chrono::milliseconds delay, std::function<void()> fn)
      : timer_(io, delay) {
    timer_.async_wait([fn = std::move(fn)](std::error_code ec) {
      if (!ec) fn();
    });
  }
  ~Timer() override { timer_.cancel(); }
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

 private:
  asio::steady_timer timer_;
};

class PeerLinkNetwork : public PeerLink {
 public:
  explicit PeerLinkNetwork(std::shared_ptr<Core> core) : core_(std::move(core)) {}

  std::unique_ptr<PeerSession> makeSession(PeerSessionEvents events) override {
    return std::make_unique<Session>(core_, std::move(events));
  }

  std::unique_ptr<PeerTimer> callAfter(std::chrono::milliseconds delay,
                                       std::function<void()> fn) override {
    return std::make_unique<Timer>(core_->io, delay, std::move(fn));
  }

  std::unique_ptr<PeerAdvertiser> startAdvertising(const std::string& localName,
                                                   const std::map<std::string, std::string>& txt,
                                                   std::string_view serviceType,
                                                   AdvertiserEvents events) override {
    auto state = std::make_shared<AdvertiserState>(core_, localName, std::move(events));
    std::erase_if(core_->advertisers, [](const auto& weak) { return weak.expired(); });
    core_->advertisers.push_back(state);
    state->start(txt, serviceType);
    return std::make_unique<Advertiser>(std::move(state));
  }

  std::optional<std::uint16_t> listeningPort() const override {
    for (auto it = core_->advertisers.rbegin(); it != core_->advertisers.rend(); ++it) {
      if (auto advertiser = it->lock()) {
        if (auto port = advertiser->port()) return port;
      }
    }
    return std::nullopt;
  }

 private:
  std::shared_ptr<Core> core_;
};

}  // namespace

Result<std::unique_ptr<PeerLink>> makePeerLink(asio::io_context& io, PeerLinkOptions options) {
  auto identity = makeSelfSignedTlsIdentity("Quillmere companion");
  if (!identity) return identity.error();
  auto tls = makePeerLinkServerContext(*identity);
  if (!tls) return tls.error();
  auto core = std::make_shared<Core>(io, std::move(options), std::move(*tls));
  return std::unique_ptr<PeerLink>(std::make_unique<PeerLinkNetwork>(std::move(core)));
}

}  // namespace qm
