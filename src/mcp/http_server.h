#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/uuid.h"
#include "mcp/http_request.h"

namespace asio {
class io_context;
}

namespace spdlog {
class logger;
}

namespace qm::mcp {

/// The answer to a connection from another user of this computer.
inline constexpr std::string_view kForbiddenBody = R"({"error":"Forbidden"})";

/// What goes back on a connection: the status, the body and any headers beyond
/// the fixed ones (each "Name: value\r\n"); see `buildHTTPResponse`.
struct HTTPResponse {
  int status = 200;
  std::string body;
  std::string extraHeaders;
};

/// What an `HTTPServer` asks about each request it reads. Called on the
/// server's loop, one request at a time.
class HTTPHandler {
 public:
  virtual ~HTTPHandler() = default;

  /// Asked as soon as the head has arrived, before anything else is checked or
  /// any more of the body is read (`head.body` holds what came with the head):
  /// a response refuses the request with it at once.
  virtual std::optional<HTTPResponse> refuse(const HTTPRequest& head) = 0;

  /// The answer to a fully read request on connection `connectionID` (an id of
  /// its own for every connection). Nothing closes the connection unanswered.
  virtual std::optional<HTTPResponse> respond(const HTTPRequest& request,
                                              const Uuid& connectionID) = 0;
};

/// Limits and timings of an `HTTPServer`.
struct HTTPServerOptions {
  std::uint16_t port = 0;  ///< 0 lets the system choose
  std::size_t maxBodyBytes = 1024 * 1024;
  /// What all unanswered connections may buffer together beyond the 16 KiB
  /// each may always read (room for a whole ordinary request).
  std::size_t maxBufferedBytes = 16 * 1024 * 1024;
  std::chrono::milliseconds idleTimeout{10'000};
  std::size_t maxConnections = 128;  ///< at least 1 is used
  std::chrono::milliseconds restartDelay{2'000};
  /// Answer only connections made by this process's user; others get 403.
  bool sameUserOnly = true;
  /// Names the server in its log lines ("<name> listener ready on port ...").
  std::string name = "HTTP";
};

/// An HTTP/1.1 listener on 127.0.0.1 that reads one request per connection,
/// hands it to an `HTTPHandler`, sends the answer and closes. Lives on `io`.
///
/// Bodies declared larger than `maxBodyBytes` get 413 unread, text that is not
/// UTF-8 gets 400, a body that ends before its Content-Length gets 400 and is
/// never handed on, a request that would take the connections' buffers past
/// `maxBufferedBytes` gets 503, a request not wholly received within `idleTimeout` of
/// connecting is closed without an answer (however busily it trickles in), and
/// at most `maxConnections` unanswered connections are served at once: further
/// clients wait in the listen queue, and once the oldest waiting connection has
/// had 50 ms it is closed to make room, so clients that send slowly cannot
/// keep others out. Connections of other users of this machine get 403 unread
/// (see `sameUserOnly`). The handler must outlive the server.
class HTTPServer {
 public:
  HTTPServer(asio::io_context& io, HTTPHandler& handler, HTTPServerOptions options,
             spdlog::logger& log);
  ~HTTPServer();
  HTTPServer(const HTTPServer&) = delete;
  HTTPServer& operator=(const HTTPServer&) = delete;

  /// Opens the listener (no-op while running); false when it could not be
  /// opened (the reason is logged), and then it is tried again like a listener
  /// that failed. A listener that fails later is reopened
  /// after `restartDelay`, and again at doubling intervals (up to a minute) while
  /// it cannot be, for as long as `stillEnabled` says so.
  bool start();
  /// Closes the listener and every connection, and drops a pending restart.
  void stop();
  bool isRunning() const;
  /// The bound port (useful when the options asked for port 0).
  std::uint16_t port() const;

  /// Asked before a restart after a listener failure; defaults to "yes".
  void setStillEnabled(std::function<bool()> stillEnabled);

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace qm::mcp
