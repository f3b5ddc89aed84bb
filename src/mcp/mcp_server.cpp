#include "mcp/mcp_server.h"

#include <algorithm>
#include <asio.hpp>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/uuid.h"
#include "mcp/http_request.h"
#include "mcp/json_rpc.h"
#include "mcp/mcp_auth_manager.h"
#include "mcp/mcp_router.h"
#include "mcp/mcp_tool_handlers.h"

namespace qm::mcp {

namespace {

using asio::ip::tcp;

/// The first read takes at most this much; a head that is not complete by then
/// is routed with what arrived.
constexpr std::size_t kFirstReadLimit = 1 << 20;
/// Bytes asked for per read while the head arrives (most heads are far smaller).
constexpr std::size_t kReadChunk = 16 * 1024;
/// Sessions kept at most; the oldest is forgotten first (its client then gets
/// 404 and initialises again).
constexpr std::size_t kMaxSessions = 1024;
/// How long a connection that was answered keeps reading what the client still
/// sends before it is closed; see `Connection::finish`.
constexpr std::chrono::milliseconds kLingerLimit{1'000};

constexpr std::string_view kStatusBody =
    R"({"name":"Quillmere MCP","version":"1.0","status":"running"})";
constexpr std::string_view kNotFoundBody =
    R"({"error":"Not found. Use POST /mcp for MCP requests."})";
constexpr std::string_view kInvalidUTF8Body = R"({"error":"Invalid UTF-8"})";
constexpr std::string_view kInvalidUTF8InBodyBody = R"({"error":"Invalid UTF-8 in body"})";
constexpr std::string_view kForbiddenBody = R"({"error":"Forbidden"})";
constexpr std::string_view kTooLargeBody = R"({"error":"Request too large"})";

constexpr std::int64_t kSessionNotFound = -32001;

/// What goes back on a connection.
struct Reply {
  int status = 200;
  std::string body;
  std::string extraHeaders;
};

/// The first 8 characters of a connection id, as log lines name connections.
std::string shortName(const Uuid& id) {
  return id.str().substr(0, 8);
}

class Connection;

}  // namespace

struct MCPServer::Impl : std::enable_shared_from_this<MCPServer::Impl> {
  Store& store;
  const AppSettings& settings;
  DeviceIdentity& identity;
  MCPServerOptions options;
  std::function<bool()> stillEnabled;

  tcp::acceptor acceptor;
  asio::steady_timer restartTimer;
  // The router refers to the tools and the manager, so it is declared (and
  // built) after them and dropped before them.
  std::unique_ptr<MCPToolHandlers> tools;
  std::unique_ptr<MCPAuthManager> auth;
  std::unique_ptr<MCPRouter> router;
  /// Live connections that have not been answered yet; these count against
  /// `maxConnections`.
  std::map<Uuid, std::shared_ptr<Connection>> connections;
  /// Answered connections waiting for their client to close (see
  /// `Connection::finish`); kept only so that stop() can close them.
  std::map<Uuid, std::shared_ptr<Connection>> lingering;
  /// Session id → the client name the handshake recorded, and ids in issue order.
  std::map<std::string, std::string> sessions;
  std::deque<std::string> sessionOrder;

  bool running = false;
  bool accepting = false;  ///< an accept is pending
  /// Counts listener openings and closings; accept completions of an earlier
  /// listener are recognised by it and ignored.
  std::uint64_t generation = 0;
  std::uint16_t boundPort = 0;

  Impl(asio::io_context& context, Store& s, const AppSettings& appSettings,
       DeviceIdentity& deviceIdentity, MCPServerOptions serverOptions)
      : store(s),
        settings(appSettings),
        identity(deviceIdentity),
        options(serverOptions),
        acceptor(context),
        restartTimer(context) {
    options.maxConnections = std::max<std::size_t>(options.maxConnections, 1);
  }

  void start();
  void stop();
  void accept();
  void adopt(tcp::socket socket);
  void listenerFailed(const std::error_code& error);
  void connectionAnswered(const Uuid& id);
  void connectionEnded(const Uuid& id);

  /// The answer to a fully read request; nothing when no answer can be given
  /// (the connection is then closed without one).
  std::optional<Reply> route(const HTTPRequest& request, const Uuid& connectionID);

 private:
  Reply handlePost(const HTTPRequest& request, const Uuid& connectionID);
  /// For a request naming a session: 404 when the session is unknown, else binds
  /// the connection to the session's client and gives nothing.
  std::optional<Reply> checkSession(const HTTPRequest& request, const std::optional<JSONRPCId>& id,
                                    const Uuid& connectionID);
  std::string openSession(std::string clientName);
};

namespace {

/// One accepted socket: reads one request (the head, then at most one read for
/// the rest of the body), sends one response and closes.
///
/// The handler callbacks hold the connection strongly and the server weakly; a
/// connection whose server is gone, or that was closed, does nothing more.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, const Uuid& id, std::weak_ptr<MCPServer::Impl> server,
             const MCPServerOptions& options)
      : socket_(std::move(socket)),
        timer_(socket_.get_executor()),
        id_(id),
        name_(shortName(id)),
        server_(std::move(server)),
        idleTimeout_(options.idleTimeout),
        maxBodyBytes_(options.maxBodyBytes) {}

  void start() {
    log::mcp().debug("Connection {} ready", name_);
    armTimer(idleTimeout_);
    readHead();
  }

  /// Closes the socket without telling the server (which is dropping it).
  void cancel() { close(false); }

 private:
  // The first read takes whatever arrived, up to 1 MiB. TCP may deliver the
  // head in several segments (curl and node send head and body separately, a
  // slow client even less at once), and a head parsed too early would lose its
  // later headers. So the first read goes on until the blank line that ends
  // the head is in, the peer has finished sending, or 1 MiB has arrived, and
  // only then parses. The Content-Length rule then applies to the body as it
  // stands: at most one further read fetches what is missing.
  void readHead() {
    const std::size_t filled = input_.size();
    input_.resize(filled + std::min(kReadChunk, kFirstReadLimit - filled));
    socket_.async_read_some(asio::buffer(input_.data() + filled, input_.size() - filled),
                            [self = shared_from_this(), filled](std::error_code ec, std::size_t n) {
                              self->onHeadRead(ec, filled, n);
                            });
  }

  void onHeadRead(const std::error_code& ec, std::size_t filled, std::size_t n) {
    if (closed_) return;
    input_.resize(filled + n);
    if (ec == asio::error::eof) {
      peerFinished_ = true;
      if (input_.empty()) {
        close(true);
        return;
      }
      processHead();
      return;
    }
    if (ec) {
      log::mcp().error("Receive error: {}", ec.message());
      close(true);
      return;
    }
    armTimer(idleTimeout_);
    // The blank line may straddle two reads.
    const std::size_t from = filled >= 3 ? filled - 3 : 0;
    if (input_.find("\r\n\r\n", from) != std::string::npos || input_.size() >= kFirstReadLimit) {
      processHead();
    } else {
      readHead();
    }
  }

  void processHead() {
    request_ = parseHTTPRequest(input_);
    // Checked before anything else is read or routed: a web page of another
    // site (or one reached by DNS rebinding) learns nothing, not even whether
    // its body would have been accepted.
    if (isForeignRequest(request_)) {
      respond({403, std::string(kForbiddenBody), {}});
      return;
    }
    // A body that would exceed the limit is refused before it is read, or
    // any memory is set aside for it.
    const auto length = contentLength(request_);
    if (length && *length > maxBodyBytes_) {
      respond({413, std::string(kTooLargeBody), {}});
      return;
    }
    const bool bodyShort = request_.body && length && *length > request_.body->size();
    // When more body follows, the received part may end inside a character.
    if (!isValidUTF8(input_, bodyShort)) {
      respond({400, std::string(kInvalidUTF8Body), {}});
      return;
    }
    input_ = std::string();
    if (!bodyShort) {
      route();
      return;
    }
    bodyStart_ = request_.body->size();
    missing_ = static_cast<std::size_t>(*length) - bodyStart_;
    request_.body->resize(bodyStart_ + missing_);
    if (peerFinished_) {
      finishBody();  // the second read could only report the end
    } else {
      readBody();
    }
  }

  /// The one further read of the missing byte count, issued as partial reads
  /// so that each arriving segment counts as activity for the idle timer.
  void readBody() {
    char* into = request_.body->data() + bodyStart_ + received_;
    socket_.async_read_some(asio::buffer(into, missing_ - received_),
                            [self = shared_from_this()](std::error_code ec, std::size_t n) {
                              self->onBodyRead(ec, n);
                            });
  }

  void onBodyRead(const std::error_code& ec, std::size_t n) {
    if (closed_) return;
    received_ += n;
    if (ec && ec != asio::error::eof) {
      log::mcp().error("Receive remaining error: {}", ec.message());
      close(true);
      return;
    }
    if (!ec && received_ < missing_) {
      armTimer(idleTimeout_);
      readBody();
      return;
    }
    finishBody();
  }

  /// A body still short after the second read is routed with what it has; a
  /// second read that brought nothing is answered like one that brought bad text.
  void finishBody() {
    request_.body->resize(bodyStart_ + received_);
    if (received_ == 0 || !isValidUTF8(*request_.body)) {
      respond({400, std::string(kInvalidUTF8InBodyBody), {}});
      return;
    }
    route();
  }

  void route() {
    auto server = server_.lock();
    std::optional<Reply> reply;
    if (server) reply = server->route(request_, id_);
    if (!reply) {
      close(true);
      return;
    }
    respond(std::move(*reply));
  }

  void respond(Reply reply) {
    output_ = buildHTTPResponse(reply.status, reply.body, reply.extraHeaders);
    armTimer(idleTimeout_);
    asio::async_write(socket_, asio::buffer(output_),
                      [self = shared_from_this()](std::error_code ec, std::size_t) {
                        if (self->closed_) return;
                        if (ec) {
                          log::mcp().error("Send error: {}", ec.message());
                          self->close(true);
                          return;
                        }
                        self->finish();
                      });
  }

  /// Ends the connection after its response. Closing a socket that still holds
  /// unread bytes (the body of a refused request, say) makes the kernel reset
  /// the connection, and a reset can destroy the response before the client
  /// read it. So the sending side is shut first (the client sees the end of the
  /// response at once) and what still arrives is read and dropped until the
  /// client closes too, for at most `kLingerLimit`. An answered connection no
  /// longer counts against the connection limit.
  void finish() {
    if (auto server = server_.lock()) server->connectionAnswered(id_);
    std::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    output_ = std::string();
    armTimer(std::min(idleTimeout_, kLingerLimit));
    drain();
  }

  void drain() {
    input_.resize(kReadChunk);
    socket_.async_read_some(asio::buffer(input_),
                            [self = shared_from_this()](std::error_code ec, std::size_t) {
                              if (self->closed_) return;
                              if (ec) {
                                self->close(true);
                              } else {
                                self->drain();
                              }
                            });
  }

  /// (Re)starts the idle timer. A connection that lets it run out is closed
  /// without a response.
  void armTimer(std::chrono::milliseconds timeout) {
    timer_.expires_after(timeout);
    timer_.async_wait([weak = weak_from_this()](std::error_code ec) {
      auto self = weak.lock();
      if (ec || !self || self->closed_) return;
      // A wait that completed just before the timer was moved on is stale.
      if (self->timer_.expiry() > asio::steady_timer::clock_type::now()) return;
      self->close(true);
    });
  }

  void close(bool tellServer) {
    if (closed_) return;
    closed_ = true;
    auto keepAlive = shared_from_this();  // the server may drop its reference below
    std::error_code ignored;
    timer_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    log::mcp().debug("Connection {} cancelled", name_);
    if (tellServer) {
      if (auto server = server_.lock()) server->connectionEnded(id_);
    }
  }

  tcp::socket socket_;
  asio::steady_timer timer_;
  Uuid id_;
  std::string name_;
  std::weak_ptr<MCPServer::Impl> server_;
  std::chrono::milliseconds idleTimeout_;
  std::size_t maxBodyBytes_;

  std::string input_;  ///< the head and the start of the body, as received
  bool peerFinished_ = false;
  HTTPRequest request_;
  std::size_t bodyStart_ = 0;  ///< body bytes that came with the head
  std::size_t missing_ = 0;    ///< what Content-Length says is still to come
  std::size_t received_ = 0;   ///< how much of that the second read brought
  std::string output_;
  bool closed_ = false;
};

}  // namespace

void MCPServer::Impl::start() {
  if (running) return;
  restartTimer.cancel();

  router.reset();
  auth.reset();
  tools.reset();
  tools = std::make_unique<MCPToolHandlers>(store, settings, identity);
  auth = std::make_unique<MCPAuthManager>(store);
  router = std::make_unique<MCPRouter>(*tools, *auth);

  // Loopback only: the data is the user's own and no other machine may reach it.
  const tcp::endpoint endpoint(asio::ip::address_v4::loopback(), options.port);
  std::error_code ec;
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (!ec) boundPort = acceptor.local_endpoint(ec).port();
  if (ec) {
    std::error_code ignored;
    acceptor.close(ignored);
    log::mcp().error("Failed to start MCP server: {}", ec.message());
    return;
  }
  ++generation;
  log::mcp().info("MCP server starting on localhost:{}", boundPort);
  // Binding and listening are done at this point: the listener is ready.
  running = true;
  log::mcp().info("MCP listener ready on port {}", boundPort);
  accept();
}

void MCPServer::Impl::stop() {
  restartTimer.cancel();
  if (!running && !router) return;
  running = false;
  accepting = false;
  ++generation;
  std::error_code ignored;
  acceptor.close(ignored);
  auto live = std::move(connections);
  connections.clear();
  live.merge(lingering);
  lingering.clear();
  for (auto& [id, connection] : live) connection->cancel();
  router.reset();
  auth.reset();
  tools.reset();
  sessions.clear();
  sessionOrder.clear();
  log::mcp().info("MCP server stopped");
}

void MCPServer::Impl::accept() {
  accepting = true;
  acceptor.async_accept(
      [weak = weak_from_this(), generation = generation](std::error_code ec, tcp::socket socket) {
        auto self = weak.lock();
        if (!self || generation != self->generation) return;  // that listener is closed
        self->accepting = false;
        if (ec == asio::error::operation_aborted) return;
        if (ec == asio::error::connection_aborted) {
          self->accept();  // the client gave up before it was accepted
          return;
        }
        if (ec) {
          self->listenerFailed(ec);
          return;
        }
        self->adopt(std::move(socket));
        // At the connection limit accepting pauses (see `connectionEnded`): clients
        // beyond it wait in the listen queue and are served in turn, rather than
        // being refused while a burst of legitimate requests is in progress. The
        // idle timeout bounds how long a silent client can hold a place.
        if (self->connections.size() < self->options.maxConnections) self->accept();
      });
}

void MCPServer::Impl::adopt(tcp::socket socket) {
  if (!router) {
    std::error_code ignored;
    socket.close(ignored);
    return;
  }
  const Uuid id = Uuid::random();
  auto connection = std::make_shared<Connection>(std::move(socket), id, weak_from_this(), options);
  connections.emplace(id, connection);
  log::mcp().info("New MCP connection: {}", shortName(id));
  connection->start();
}

void MCPServer::Impl::connectionAnswered(const Uuid& id) {
  if (auto entry = connections.extract(id)) lingering.insert(std::move(entry));
  if (running && !accepting && connections.size() < options.maxConnections) accept();
}

void MCPServer::Impl::connectionEnded(const Uuid& id) {
  connections.erase(id);
  lingering.erase(id);
  if (running && !accepting && connections.size() < options.maxConnections) accept();
}

void MCPServer::Impl::listenerFailed(const std::error_code& error) {
  log::mcp().error("MCP listener failed: {}", error.message());
  running = false;
  accepting = false;
  ++generation;
  std::error_code ignored;
  acceptor.close(ignored);
  restartTimer.expires_after(options.restartDelay);
  restartTimer.async_wait([weak = weak_from_this()](std::error_code ec) {
    auto self = weak.lock();
    if (ec || !self) return;
    if (!self->stillEnabled || self->stillEnabled()) self->start();
  });
}

std::optional<Reply> MCPServer::Impl::route(const HTTPRequest& request, const Uuid& connectionID) {
  if (!router) return std::nullopt;  // stopped while the request was read
  const bool isEndpoint = request.path == "/mcp";
  try {
    if (request.method == "OPTIONS") return Reply{204, {}, {}};
    if (request.method == "GET" && isEndpoint) {
      if (auto refused = checkSession(request, std::nullopt, connectionID)) return refused;
      return Reply{200, std::string(kStatusBody), {}};
    }
    if (request.method == "POST" && isEndpoint) return handlePost(request, connectionID);
    // Ends a session, as the MCP streamable HTTP transport lets clients do.
    if (request.method == "DELETE" && isEndpoint && request.header("mcp-session-id")) {
      if (auto refused = checkSession(request, std::nullopt, connectionID)) return refused;
      sessions.erase(std::string(*request.header("mcp-session-id")));
      return Reply{204, {}, {}};
    }
    return Reply{404, std::string(kNotFoundBody), {}};
  } catch (const std::exception& e) {
    // Encoding fails on text that is not UTF-8; such a reply cannot be sent.
    log::mcp().error("Could not answer an MCP request: {}", e.what());
    return std::nullopt;
  }
}

Reply MCPServer::Impl::handlePost(const HTTPRequest& request, const Uuid& connectionID) {
  std::optional<JSONRPCRequest> single;
  std::optional<std::vector<JSONRPCRequest>> batch;
  if (request.body && !request.body->empty()) {
    const auto json = JSONValue::parse(*request.body, nullptr, false);
    if (!json.is_discarded()) {
      if (auto one = decodeRequest(json)) {
        single = std::move(one).value();
      } else if (auto many = decodeBatch(json)) {
        batch = std::move(many).value();
      }
    }
  }
  if (auto refused = checkSession(request, single ? single->id : std::nullopt, connectionID))
    return *refused;
  if (!single && !batch) {
    const JSONRPCResponse parseError{std::nullopt, std::nullopt, makeError(kParseError)};
    return Reply{200, encodeResponse(parseError).dump(), {}};
  }

  std::vector<JSONRPCRequest> requests;
  if (single) {
    requests.push_back(std::move(*single));
  } else {
    requests = std::move(*batch);
  }
  bool initializes = false;
  JSONValue responses = JSONValue::array();
  for (const auto& one : requests) {
    initializes = initializes || one.method == "initialize";
    if (auto response = router->handle(one, connectionID)) {
      responses.push_back(encodeResponse(*response));
    }
  }

  Reply reply{204, {}, {}};
  if (!responses.empty()) {
    reply.status = 200;
    reply.body = single ? responses.front().dump() : responses.dump();
  }
  // The handshake opens a session: later connections that name it run as the
  // client that shook hands, although each request comes on a new connection.
  if (initializes) {
    if (auto name = router->clientName(connectionID)) {
      reply.extraHeaders = "Mcp-Session-Id: " + openSession(std::move(*name)) +
                           "\r\nAccess-Control-Expose-Headers: Mcp-Session-Id\r\n";
    }
  }
  return reply;
}

std::optional<Reply> MCPServer::Impl::checkSession(const HTTPRequest& request,
                                                   const std::optional<JSONRPCId>& id,
                                                   const Uuid& connectionID) {
  const auto sessionID = request.header("mcp-session-id");
  if (!sessionID) return std::nullopt;
  const auto it = sessions.find(std::string(*sessionID));
  if (it != sessions.end()) {
    router->bindClient(connectionID, it->second);
    return std::nullopt;
  }
  // Tells the client to initialise again (after a restart of the server, say).
  const JSONRPCResponse notFound{id, std::nullopt,
                                 JSONRPCError{kSessionNotFound, "Session not found"}};
  return Reply{404, encodeResponse(notFound).dump(), {}};
}

std::string MCPServer::Impl::openSession(std::string clientName) {
  std::string id = Uuid::random().str();
  sessions.emplace(id, std::move(clientName));
  sessionOrder.push_back(id);
  if (sessionOrder.size() > kMaxSessions) {
    sessions.erase(sessionOrder.front());
    sessionOrder.pop_front();
  }
  return id;
}

MCPServer::MCPServer(asio::io_context& io, Store& store, const AppSettings& settings,
                     DeviceIdentity& identity, MCPServerOptions options)
    : impl_(std::make_shared<Impl>(io, store, settings, identity, options)) {}

MCPServer::~MCPServer() {
  impl_->stop();
}

void MCPServer::start() {
  impl_->start();
}

void MCPServer::stop() {
  impl_->stop();
}

bool MCPServer::isRunning() const {
  return impl_->running;
}

std::uint16_t MCPServer::port() const {
  return impl_->boundPort;
}

void MCPServer::setStillEnabled(std::function<bool()> stillEnabled) {
  impl_->stillEnabled = std::move(stillEnabled);
}

}  // namespace qm::mcp
