#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qm::test {

/// An HTTP response split into its parts.
struct HTTPReply {
  int status = 0;
  std::map<std::string, std::string> headers;  ///< names lower-cased, values trimmed
  std::string body;
};

/// Splits a complete response (HTTP/1.0 or 1.1) into status, headers and body.
/// Fails when there is no status line or blank line, or when the body is not
/// as long as a Content-Length header says.
Result<HTTPReply> parseHTTPReply(std::string_view text);

/// A TCP port on 127.0.0.1 that nothing listened on a moment ago.
std::uint16_t freeLoopbackPort();

/// One blocking TCP connection to 127.0.0.1, as the HTTP tests and benchmarks
/// use it: send bytes, then read until the server closes. Every wait is
/// bounded; nothing here throws.
class HTTPConnection {
 public:
  /// Connects to 127.0.0.1:`port` within `timeout`; fails when nobody listens.
  static Result<HTTPConnection> open(std::uint16_t port,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(5));

  ~HTTPConnection();
  HTTPConnection(HTTPConnection&& other) noexcept;
  HTTPConnection& operator=(HTTPConnection&& other) noexcept;
  HTTPConnection(const HTTPConnection&) = delete;
  HTTPConnection& operator=(const HTTPConnection&) = delete;

  /// Sends all of `bytes` (each send waits at most the timeout given to open()).
  Status send(std::string_view bytes);
  /// Tells the server nothing more will be sent (shuts the sending side).
  void finishSending();
  /// Closes the connection at once.
  void close();

  /// Everything received until the server closed the connection (a reset
  /// counts as closing). Fails when it has not closed within `limit`; what
  /// arrived so far is then kept for the next call.
  Result<std::string> readUntilClosed(std::chrono::milliseconds limit = std::chrono::seconds(5));

 private:
  explicit HTTPConnection(int fd) : fd_(fd) {}

  int fd_ = -1;
  std::string received_;
};

/// Opens a connection to 127.0.0.1:`port`, sends `request` and returns all the
/// server sent until it closed, each step bounded by `timeout`.
Result<std::string> exchangeHTTP(std::uint16_t port, std::string_view request,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace qm::test
