#pragma once

// One TLS connection of the peer link carrying frames: used by the companion
// for each accepted phone and by `PeerLinkClient` for its one connection.
// Internal to the peer link library: it brings in Asio and OpenSSL.

#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "peer_link/frame_reader.h"
#include "peer_link/peer_link.h"

namespace qm {

/// A framed TLS connection. Lives as long as anyone holds it, including its own
/// pending operations, so an owner may drop it at any time: after `close` or
/// `closeGracefully` no handler is called any more.
///
/// Frames are written in the order `send` was called; while one write is in
/// flight, later frames gather in one buffer that goes out as the next write.
class PeerLinkConnection : public std::enable_shared_from_this<PeerLinkConnection> {
 public:
  using Stream = asio::ssl::stream<asio::ip::tcp::socket>;

  struct Handlers {
    /// One whole frame.
    std::function<void(std::string frame)> frame;
    /// The connection ended by itself: closed by the peer (`orderly`), or a
    /// network or TLS error, a bad frame, a deadline. Called at most once, and
    /// never after the owner closed the connection.
    std::function<void(const std::string& why, bool orderly)> ended;
  };

  PeerLinkConnection(asio::ip::tcp::socket socket, std::shared_ptr<asio::ssl::context> tls,
                     std::string name);

  const std::string& name() const { return name_; }
  bool isOpen() const { return state_ == State::open; }

  void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
  /// Frames whose header has not arrived yet may be at most this large.
  void setMaxFrameBytes(std::size_t maxFrameBytes) { reader_.setMaxFrameBytes(maxFrameBytes); }

  /// Turns on TCP keep-alive with the given timers (failures are logged only).
  void applyKeepAlive(const PeerLinkKeepAlive& keepAlive);

  /// Connects the socket to the first of `endpoints` that answers.
  void connect(const asio::ip::tcp::resolver::results_type& endpoints,
               std::function<void(std::error_code)> done);
  /// Runs the TLS handshake; `done` is not called once the connection was closed.
  void handshake(asio::ssl::stream_base::handshake_type type,
                 std::function<void(std::error_code)> done);
  /// Starts delivering frames to the `frame` handler (after the handshake).
  void startReading();

  /// Queues `message` as one frame. Fails when the connection is not open or
  /// the message is larger than a frame may be.
  Status send(std::string_view message);
  /// Calls `done` once every frame queued so far was handed to the network
  /// (not if the connection ends first).
  void whenSent(std::function<void()> done);

  /// Ends the connection unless `cancelDeadline` comes first; the `ended`
  /// handler then gets `why`.
  void expireAfter(std::chrono::milliseconds limit, std::string why);
  void cancelDeadline();

  /// Ends the connection on the peer's behalf: logs nothing, calls `ended`.
  void fail(const std::string& why);
  /// Writes what is still queued, ends TLS (close_notify), then closes; gives
  /// up and closes after `linger`. No handler is called any more.
  void closeGracefully(std::chrono::milliseconds linger);
  /// Closes at once. No handler is called any more.
  void close();

 private:
  enum class State { open, closing, closed };

  void read();
  void onRead(const std::error_code& ec, std::size_t n);
  void writeNext();
  void onWritten(const std::error_code& ec);
  void shutDown();
  void end(const std::string& why, bool orderly = false);

  Stream stream_;
  std::shared_ptr<asio::ssl::context> tls_;  ///< outlives the stream's SSL object
  asio::steady_timer deadline_;
  asio::steady_timer linger_;
  std::string name_;
  Handlers handlers_;
  State state_ = State::open;
  bool handshakeDone_ = false;
  bool reading_ = false;
  bool writing_ = false;
  bool shuttingDown_ = false;

  std::unique_ptr<char[]> readBuffer_;
  FrameReader reader_;

  std::string outgoing_;  ///< the bytes of the write in flight
  std::vector<std::function<void()>> outgoingDone_;
  std::string queued_;  ///< frames sent while a write was in flight
  std::vector<std::function<void()>> queuedDone_;
};

/// The text of a connection that ended because of `ec`, for logs and reasons.
std::string describeEnd(const std::error_code& ec);
/// Whether `ec` is the peer closing the connection, with or without ending TLS.
bool isOrderlyEnd(const std::error_code& ec);

}  // namespace qm
