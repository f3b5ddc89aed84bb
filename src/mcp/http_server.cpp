#include "mcp/http_server.h"

#include <spdlog/logger.h>

#include <algorithm>
#include <asio.hpp>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <unistd.h>

#include "mcp/socket_owner.h"

namespace qm::mcp {

namespace {

using asio::ip::tcp;

/// The first read takes at most this much; a head that is not complete by then
/// is handled with what arrived.
constexpr std::size_t kFirstReadLimit = 1 << 20;
/// Bytes asked for per read while the head arrives (most heads are far smaller).
constexpr std::size_t kReadChunk = 16 * 1024;
/// The longest wait between two tries to reopen a failed listener.
constexpr std::chrono::milliseconds kLongestRestartDelay{60'000};
/// How long a connection that was answered keeps reading what the client still
/// sends before it is closed; see `Connection::finish`.
constexpr std::chrono::milliseconds kLingerLimit{1'000};

constexpr std::string_view kInvalidUTF8Body = R"({"error":"Invalid UTF-8"})";
constexpr std::string_view kInvalidUTF8InBodyBody = R"({"error":"Invalid UTF-8 in body"})";
constexpr std::string_view kTooLargeBody = R"({"error":"Request too large"})";
constexpr std::string_view kBadLengthBody = R"({"error":"Invalid Content-Length"})";
constexpr std::string_view kTooLargeHeadBody = R"({"error":"Request header too large"})";
constexpr std::string_view kIncompleteBody = R"({"error":"Request body incomplete"})";
constexpr std::string_view kBusyBody = R"({"error":"Server busy, try again in a moment"})";
/// At the connection limit, the oldest waiting connection is closed to make
/// room once it has been waiting this long; younger ones are a burst of
/// clients that will be answered in a moment.
constexpr std::chrono::milliseconds kMakeRoomAge{50};

/// The first 8 characters of a connection id, as log lines name connections.
std::string shortName(const Uuid& id) {
  return id.str().substr(0, 8);
}

class Connection;

}  // namespace

struct HTTPServer::Impl : std::enable_shared_from_this<HTTPServer::Impl> {
  HTTPHandler& handler;
  HTTPServerOptions options;
  spdlog::logger& log;
  std::function<bool()> stillEnabled;

  tcp::acceptor acceptor;
  asio::steady_timer restartTimer;
  asio::steady_timer roomTimer;
  /// Whether the note that socket owners cannot be told was logged.
  bool ownerNoteLogged = false;
  /// Live connections that have not been answered yet; these count against
  /// `maxConnections`.
  std::map<Uuid, std::shared_ptr<Connection>> connections;
  /// Answered connections waiting for their client to close (see
  /// `Connection::finish`); kept only so that stop() can close them.
  std::map<Uuid, std::shared_ptr<Connection>> lingering;

  /// What the unanswered connections' buffers hold together, by length; see
  /// `claim`.
  std::size_t buffered = 0;

  bool running = false;
  bool accepting = false;  ///< an accept is pending
  /// Counts listener openings and closings; accept completions of an earlier
  /// listener are recognised by it and ignored.
  std::uint64_t generation = 0;
  std::uint16_t boundPort = 0;

  Impl(asio::io_context& context, HTTPHandler& requestHandler, HTTPServerOptions serverOptions,
       spdlog::logger& logger)
      : handler(requestHandler),
        options(std::move(serverOptions)),
        log(logger),
        acceptor(context),
        restartTimer(context),
        roomTimer(context) {
    options.maxConnections = std::max<std::size_t>(options.maxConnections, 1);
  }

  bool start();
  void stop();
  void accept();
  void adopt(tcp::socket socket);
  bool isFromThisUser(const tcp::socket& socket);
  void makeRoom();
  void listenerFailed(const std::error_code& error);
  void scheduleRestart(std::chrono::milliseconds delay);
  void connectionAnswered(const Uuid& id);
  void connectionEnded(const Uuid& id);

  /// Lets a connection that holds `held` bytes hold `more`. Every connection
  /// may always fill its first read (a whole ordinary request fits in it);
  /// beyond that all connections share `maxBufferedBytes`, so many clients
  /// sending large bodies at once cannot fill the memory between them.
  bool claim(std::size_t held, std::size_t more) {
    if (held + more > kReadChunk && buffered + more > options.maxBufferedBytes) return false;
    buffered += more;
    return true;
  }
  void release(std::size_t bytes) { buffered -= std::min(bytes, buffered); }
};

namespace {

/// One accepted socket: reads one request (the head, then at most one read for
/// the rest of the body), sends one response and closes.
///
/// The handler callbacks hold the connection strongly and the server weakly; a
/// connection whose server is gone, or that was closed, does nothing more.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, const Uuid& id, std::weak_ptr<HTTPServer::Impl> server,
             const HTTPServerOptions& options, spdlog::logger& log)
      : connectedAt_(std::chrono::steady_clock::now()),
        socket_(std::move(socket)),
        timer_(socket_.get_executor()),
        id_(id),
        name_(shortName(id)),
        server_(std::move(server)),
        log_(log),
        idleTimeout_(options.idleTimeout),
        maxBodyBytes_(options.maxBodyBytes) {}

  void start() {
    log_.debug("Connection {} ready", name_);
    armTimer(idleTimeout_);
    readHead();
  }

  /// Answers 403 without reading anything.
  void forbid() { respond({403, std::string(kForbiddenBody), {}}); }

  /// Closes the socket without telling the server (which is dropping it).
  void cancel() { close(false); }
  /// Closes the socket unanswered and tells the server.
  void drop() { close(true); }

  std::chrono::steady_clock::time_point connectedAt() const { return connectedAt_; }

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
    // Reads fill the first chunk before the buffer grows: a head that comes
    // in several segments still fits in what every connection may hold.
    const std::size_t wanted =
        filled < kReadChunk ? kReadChunk : std::min(filled + kReadChunk, kFirstReadLimit);
    if (!hold(wanted)) {
      respond({503, std::string(kBusyBody), {}});
      return;
    }
    input_.resize(wanted);
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
      log_.error("Receive error: {}", ec.message());
      close(true);
      return;
    }
    // No new time for each segment: the whole request must arrive within the
    // deadline set at connect, so a client trickling a byte at a time cannot
    // hold its place for ever.
    // The blank line may straddle two reads.
    const std::size_t from = filled >= 3 ? filled - 3 : 0;
    if (input_.find("\r\n\r\n", from) != std::string::npos || input_.size() >= kFirstReadLimit) {
      processHead();
    } else {
      readHead();
    }
  }

  void processHead() {
    // A head that does not end within the first read's limit is refused whole:
    // parsing what came would miss the headers past it (a Host among them).
    if (!peerFinished_ && input_.find("\r\n\r\n") == std::string::npos) {
      respond({431, std::string(kTooLargeHeadBody), {}});
      return;
    }
    request_ = parseHTTPRequest(input_);
    // The handler looks at the head before anything else is read or checked:
    // what it refuses learns nothing, not even whether its body would have
    // been accepted.
    if (auto refused = askHandler([&](HTTPHandler& h) { return h.refuse(request_); })) {
      respond(std::move(*refused));
      return;
    }
    // A body that would exceed the limit is refused before it is read, or
    // any memory is set aside for it.
    const auto length = contentLength(request_);
    if (request_.header("content-length") && (!length || request_.conflictingContentLength)) {
      respond({400, std::string(kBadLengthBody), {}});
      return;
    }
    if (length && *length > maxBodyBytes_) {
      respond({413, std::string(kTooLargeBody), {}});
      return;
    }
    const bool bodyShort = request_.body && length && *length > request_.body->size();
    // The head and the body as handed on: bytes past the body's length (a
    // pipelined request) are not part of this request. When more body
    // follows, the received part may end inside a character.
    const std::size_t headEnd = input_.find("\r\n\r\n");
    const std::size_t used = headEnd == std::string::npos
                                 ? input_.size()
                                 : headEnd + 4 + (request_.body ? request_.body->size() : 0);
    if (!isValidUTF8(std::string_view(input_).substr(0, used), bodyShort)) {
      respond({400, std::string(kInvalidUTF8Body), {}});
      return;
    }
    input_ = std::string();
    if (!bodyShort) {
      answer();
      return;
    }
    bodyStart_ = request_.body->size();
    missing_ = static_cast<std::size_t>(*length) - bodyStart_;
    // The body is read into room set aside for all of it, which must fit in
    // what the server may buffer. Only what arrives is written (and so takes
    // memory), and the room is given back when the connection is answered.
    if (!hold(static_cast<std::size_t>(*length))) {
      respond({503, std::string(kBusyBody), {}});
      return;
    }
    request_.body->reserve(static_cast<std::size_t>(*length));
    if (peerFinished_) {
      finishBody();  // the second read could only report the end
    } else {
      readBody();
    }
  }

  /// The one further read of the missing byte count, issued as partial reads
  /// straight into the body's room.
  void readBody() {
    std::string& body = *request_.body;
    const std::size_t at = body.size();
    body.resize(at + std::min(kReadChunk, missing_ - received_));
    socket_.async_read_some(asio::buffer(body.data() + at, body.size() - at),
                            [self = shared_from_this(), at](std::error_code ec, std::size_t n) {
                              self->onBodyRead(ec, at, n);
                            });
  }

  void onBodyRead(const std::error_code& ec, std::size_t at, std::size_t n) {
    if (closed_) return;
    received_ += n;
    request_.body->resize(at + n);
    if (ec && ec != asio::error::eof) {
      log_.error("Receive remaining error: {}", ec.message());
      close(true);
      return;
    }
    if (!ec && received_ < missing_) {
      readBody();
      return;
    }
    finishBody();
  }

  /// A body still short when the client has finished sending is refused, never
  /// handed on: what it would parse to is not what the client meant, and a
  /// megabyte of it costs the handler as much as a whole one.
  void finishBody() {
    if (received_ < missing_) {
      respond({400, std::string(kIncompleteBody), {}});
      return;
    }
    if (!isValidUTF8(*request_.body)) {
      respond({400, std::string(kInvalidUTF8InBodyBody), {}});
      return;
    }
    answer();
  }

  void answer() {
    auto response = askHandler([&](HTTPHandler& h) { return h.respond(request_, id_); });
    if (!response) {
      close(true);
      return;
    }
    respond(std::move(*response));
  }

  /// Asks the server's handler; nothing once the server is gone.
  template <class F>
  std::optional<HTTPResponse> askHandler(F ask) {
    auto server = server_.lock();
    if (!server) return std::nullopt;
    return ask(server->handler);
  }

  void respond(HTTPResponse response) {
    // The request is done with: its buffers go back to the server's budget.
    request_ = HTTPRequest();
    input_ = std::string();
    releaseAll();
    output_ = buildHTTPResponse(response.status, response.body, response.extraHeaders);
    armTimer(idleTimeout_);
    asio::async_write(socket_, asio::buffer(output_),
                      [self = shared_from_this()](std::error_code ec, std::size_t) {
                        if (self->closed_) return;
                        if (ec) {
                          self->log_.error("Send error: {}", ec.message());
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

  /// Counts this connection's buffers as `bytes` long against the server's
  /// budget: growing them needs room there (false when there is none).
  bool hold(std::size_t bytes) {
    if (bytes <= held_) return true;
    auto server = server_.lock();
    if (!server) return true;  // nothing is answered any more
    if (!server->claim(held_, bytes - held_)) return false;
    held_ = bytes;
    return true;
  }
  void releaseAll() {
    if (auto server = server_.lock()) server->release(held_);
    held_ = 0;
  }

  void close(bool tellServer) {
    if (closed_) return;
    closed_ = true;
    // The buffers go with the connection (once a pending read has let go of them).
    releaseAll();
    auto keepAlive = shared_from_this();  // the server may drop its reference below
    std::error_code ignored;
    timer_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    log_.debug("Connection {} cancelled", name_);
    if (tellServer) {
      if (auto server = server_.lock()) server->connectionEnded(id_);
    }
  }

  std::chrono::steady_clock::time_point connectedAt_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  Uuid id_;
  std::string name_;
  std::weak_ptr<HTTPServer::Impl> server_;
  spdlog::logger& log_;
  std::chrono::milliseconds idleTimeout_;
  std::size_t maxBodyBytes_;

  std::string input_;  ///< the head and the start of the body, as received
  bool peerFinished_ = false;
  HTTPRequest request_;
  std::size_t bodyStart_ = 0;  ///< body bytes that came with the head
  std::size_t missing_ = 0;    ///< what Content-Length says is still to come
  std::size_t received_ = 0;   ///< how much of that the second read brought
  std::size_t held_ = 0;       ///< what this connection counts against the budget
  std::string output_;
  bool closed_ = false;
};

}  // namespace

bool HTTPServer::Impl::start() {
  if (running) return true;
  restartTimer.cancel();

  // Loopback only: what is served is the user's own and no other machine may reach it.
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
    log.error("Failed to start {} server: {}", options.name, ec.message());
    return false;
  }
  ++generation;
  log.info("{} server starting on localhost:{}", options.name, boundPort);
  // Binding and listening are done at this point: the listener is ready.
  running = true;
  log.info("{} listener ready on port {}", options.name, boundPort);
  accept();
  return true;
}

void HTTPServer::Impl::stop() {
  restartTimer.cancel();
  roomTimer.cancel();
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
}

void HTTPServer::Impl::accept() {
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
        // being refused while a burst of legitimate requests is in progress. A
        // connection that has waited a while is closed to make room.
        if (self->connections.size() < self->options.maxConnections) {
          self->accept();
        } else {
          self->makeRoom();
        }
      });
}

void HTTPServer::Impl::makeRoom() {
  if (!running || accepting || connections.size() < options.maxConnections) return;
  auto oldest = std::min_element(connections.begin(), connections.end(), [](auto& a, auto& b) {
    return a.second->connectedAt() < b.second->connectedAt();
  });
  const auto age = std::chrono::steady_clock::now() - oldest->second->connectedAt();
  if (age >= kMakeRoomAge) {
    log.debug("{} connection {} closed unanswered to make room for a new one", options.name,
              shortName(oldest->first));
    auto connection = oldest->second;
    connection->drop();  // accepting resumes through `connectionEnded`
    return;
  }
  roomTimer.expires_after(kMakeRoomAge - age);
  roomTimer.async_wait([weak = weak_from_this()](std::error_code ec) {
    if (auto self = weak.lock(); self && !ec) self->makeRoom();
  });
}

bool HTTPServer::Impl::isFromThisUser(const tcp::socket& socket) {
  std::error_code ec;
  const auto client = socket.remote_endpoint(ec);
  const auto server = socket.local_endpoint(ec);
  if (ec || !client.address().is_v4()) return false;
  auto owner = tcpSocketOwner({client.address().to_v4().to_uint(), client.port()},
                              {server.address().to_v4().to_uint(), server.port()});
  if (!owner) {
    // Without the kernel's socket table nobody could be served at all.
    if (!ownerNoteLogged)
      log.warn("Cannot tell which user opened {} connections ({}); answering them all",
               options.name, owner.error().message);
    ownerNoteLogged = true;
    return true;
  }
  if (*owner && **owner == ::geteuid()) return true;
  if (*owner) {
    log.warn("Refused a {} connection of another user of this computer (uid {})", options.name,
             **owner);
  }
  return false;  // another user's, or gone already
}

void HTTPServer::Impl::adopt(tcp::socket socket) {
  const Uuid id = Uuid::random();
  const bool allowed = !options.sameUserOnly || isFromThisUser(socket);
  auto connection =
      std::make_shared<Connection>(std::move(socket), id, weak_from_this(), options, log);
  connections.emplace(id, connection);
  log.info("New {} connection: {}", options.name, shortName(id));
  if (allowed) {
    connection->start();
  } else {
    connection->forbid();
  }
}

void HTTPServer::Impl::connectionAnswered(const Uuid& id) {
  if (auto entry = connections.extract(id)) lingering.insert(std::move(entry));
  if (running && !accepting && connections.size() < options.maxConnections) accept();
}

void HTTPServer::Impl::connectionEnded(const Uuid& id) {
  connections.erase(id);
  lingering.erase(id);
  if (running && !accepting && connections.size() < options.maxConnections) accept();
}

void HTTPServer::Impl::listenerFailed(const std::error_code& error) {
  log.error("{} listener failed: {}", options.name, error.message());
  running = false;
  accepting = false;
  ++generation;
  std::error_code ignored;
  acceptor.close(ignored);
  scheduleRestart(options.restartDelay);
}

void HTTPServer::Impl::scheduleRestart(std::chrono::milliseconds delay) {
  restartTimer.expires_after(delay);
  restartTimer.async_wait([weak = weak_from_this(), delay](std::error_code ec) {
    auto self = weak.lock();
    if (ec || !self) return;
    if (self->stillEnabled && !self->stillEnabled()) return;
    // A listener that cannot be reopened yet (out of descriptors, the port
    // taken) is tried again, less and less often, for as long as it is wanted.
    if (!self->start()) self->scheduleRestart(std::min(delay * 2, kLongestRestartDelay));
  });
}

HTTPServer::HTTPServer(asio::io_context& io, HTTPHandler& handler, HTTPServerOptions options,
                       spdlog::logger& log)
    : impl_(std::make_shared<Impl>(io, handler, std::move(options), log)) {}

HTTPServer::~HTTPServer() {
  impl_->stop();
}

bool HTTPServer::start() {
  if (impl_->start()) return true;
  // Not now (the port taken, no descriptors left): tried again later.
  impl_->scheduleRestart(impl_->options.restartDelay);
  return false;
}

void HTTPServer::stop() {
  impl_->stop();
}

bool HTTPServer::isRunning() const {
  return impl_->running;
}

std::uint16_t HTTPServer::port() const {
  return impl_->boundPort;
}

void HTTPServer::setStillEnabled(std::function<bool()> stillEnabled) {
  impl_->stillEnabled = std::move(stillEnabled);
}

}  // namespace qm::mcp
