#include "peer_link/peer_link_connection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <asio/buffer.hpp>
#include <asio/connect.hpp>
#include <asio/post.hpp>
#include <asio/ssl/error.hpp>
#include <asio/write.hpp>
#include <utility>

#include "common/log.h"

namespace qm {

namespace {

/// Bytes asked for per read; TLS hands over at most one 16 KiB record per read
/// anyway.
constexpr std::size_t kReadChunk = 64 * 1024;
/// A write buffer larger than this is given back after its write rather than
/// kept for the next one (one 20 MB message should not pin 20 MB).
constexpr std::size_t kKeptBufferBytes = 1024 * 1024;

void releaseIfLarge(std::string& buffer) {
  if (buffer.capacity() > kKeptBufferBytes) {
    buffer = std::string();
  } else {
    buffer.clear();
  }
}

}  // namespace

bool isOrderlyEnd(const std::error_code& ec) {
  return ec == asio::error::eof || ec == asio::ssl::error::stream_truncated;
}

std::string describeEnd(const std::error_code& ec) {
  if (ec == asio::error::eof) return "closed by the peer";
  if (ec == asio::ssl::error::stream_truncated) return "closed by the peer without ending TLS";
  if (ec == asio::error::connection_reset) return "reset by the peer";
  if (ec == asio::error::timed_out) return "the peer stopped answering";
  return ec.message();
}

PeerLinkConnection::PeerLinkConnection(asio::ip::tcp::socket socket,
                                       std::shared_ptr<asio::ssl::context> tls, std::string name)
    : stream_(std::move(socket), *tls),
      tls_(std::move(tls)),
      deadline_(stream_.get_executor()),
      linger_(stream_.get_executor()),
      name_(std::move(name)),
      readBuffer_(std::make_unique<char[]>(kReadChunk)) {}

void PeerLinkConnection::applyKeepAlive(const PeerLinkKeepAlive& keepAlive) {
  auto& socket = stream_.next_layer();
  std::error_code ec;
  socket.set_option(asio::socket_base::keep_alive(true), ec);
  socket.set_option(asio::ip::tcp::no_delay(true), ec);
  const int fd = socket.native_handle();
  const int idle = static_cast<int>(keepAlive.idle.count());
  const int interval = static_cast<int>(keepAlive.interval.count());
  const int probes = keepAlive.probes;
  const auto userTimeout = static_cast<unsigned>(keepAlive.userTimeout.count());
  if (ec || ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) != 0 ||
      ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) != 0 ||
      ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) != 0 ||
      ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout) != 0) {
    log::pairing().warn("Could not set TCP keep-alive on peer link {}: {}", name_,
                        ec ? ec.message() : std::system_category().message(errno));
  }
}

void PeerLinkConnection::connect(const asio::ip::tcp::resolver::results_type& endpoints,
                                 std::function<void(std::error_code)> done) {
  asio::async_connect(stream_.next_layer(), endpoints,
                      [self = shared_from_this(), done = std::move(done)](
                          std::error_code ec, const asio::ip::tcp::endpoint&) {
                        if (self->state_ == State::open) done(ec);
                      });
}

void PeerLinkConnection::handshake(asio::ssl::stream_base::handshake_type type,
                                   std::function<void(std::error_code)> done) {
  stream_.async_handshake(type,
                          [self = shared_from_this(), done = std::move(done)](std::error_code ec) {
                            if (self->state_ != State::open) return;
                            if (!ec) {
                              self->handshakeDone_ = true;
                              // Frames sent before the handshake finished go out now.
                              if (!self->writing_ && !self->queued_.empty()) self->writeNext();
                            }
                            done(ec);
                          });
}

void PeerLinkConnection::startReading() {
  if (state_ == State::open && !reading_) read();
}

void PeerLinkConnection::read() {
  reading_ = true;
  stream_.async_read_some(
      asio::buffer(readBuffer_.get(), kReadChunk),
      [self = shared_from_this()](std::error_code ec, std::size_t n) { self->onRead(ec, n); });
}

void PeerLinkConnection::onRead(const std::error_code& ec, std::size_t n) {
  reading_ = false;
  if (state_ == State::closed) return;
  if (state_ == State::closing) {
    // The read was cancelled to make way for the end of TLS.
    shutDown();
    return;
  }
  if (ec) {
    end(describeEnd(ec), isOrderlyEnd(ec));
    return;
  }
  const Status fed = reader_.feed(std::string_view(readBuffer_.get(), n));
  // Frames that were complete before a bad header still count. A handler may
  // close the connection, after which nothing more is delivered.
  while (state_ == State::open && reader_.hasFrame()) {
    std::string frame = reader_.next();
    if (handlers_.frame) handlers_.frame(std::move(frame));
  }
  if (state_ != State::open) return;
  if (!fed) {
    end(fed.error().message);
    return;
  }
  read();
}

Status PeerLinkConnection::send(std::string_view message) {
  if (state_ != State::open) return Error("the connection is closed");
  if (message.size() > kMaxFrameBytes) {
    return Error("a message of " + std::to_string(message.size()) +
                 " bytes is larger than a frame may be (" + std::to_string(kMaxFrameBytes) +
                 " bytes)");
  }
  const auto header = frameHeader(static_cast<std::uint32_t>(message.size()));
  queued_.append(header.data(), header.size());
  queued_.append(message);
  if (handshakeDone_ && !writing_) writeNext();
  return {};
}

void PeerLinkConnection::whenSent(std::function<void()> done) {
  if (state_ != State::open) return;
  if (!queued_.empty()) {
    queuedDone_.push_back(std::move(done));
  } else if (writing_) {
    outgoingDone_.push_back(std::move(done));
  } else {
    asio::post(stream_.get_executor(), [weak = weak_from_this(), done = std::move(done)] {
      auto self = weak.lock();
      if (self && self->state_ == State::open) done();
    });
  }
}

void PeerLinkConnection::writeNext() {
  outgoing_.swap(queued_);
  releaseIfLarge(queued_);
  outgoingDone_ = std::move(queuedDone_);
  queuedDone_.clear();
  writing_ = true;
  asio::async_write(
      stream_, asio::buffer(outgoing_),
      [self = shared_from_this()](std::error_code ec, std::size_t) { self->onWritten(ec); });
}

void PeerLinkConnection::onWritten(const std::error_code& ec) {
  writing_ = false;
  if (state_ == State::closed) return;
  if (ec) {
    if (state_ == State::closing) {
      close();
    } else {
      end(describeEnd(ec));
    }
    return;
  }
  releaseIfLarge(outgoing_);
  auto done = std::move(outgoingDone_);
  outgoingDone_.clear();
  for (auto& callback : done) {
    if (state_ != State::open) break;
    callback();
  }
  if (state_ == State::closed) return;
  if (!queued_.empty()) {
    writeNext();
  } else if (state_ == State::closing) {
    shutDown();
  }
}

void PeerLinkConnection::expireAfter(std::chrono::milliseconds limit, std::string why) {
  deadline_.expires_after(limit);
  deadline_.async_wait([weak = weak_from_this(), why = std::move(why)](std::error_code ec) {
    auto self = weak.lock();
    if (ec || !self || self->state_ != State::open) return;
    // A wait that completed just before the deadline was cancelled is stale.
    if (self->deadline_.expiry() == asio::steady_timer::time_point::max()) return;
    self->end(why);
  });
}

void PeerLinkConnection::cancelDeadline() {
  deadline_.expires_at(asio::steady_timer::time_point::max());
}

void PeerLinkConnection::fail(const std::string& why) {
  end(why);
}

void PeerLinkConnection::closeGracefully(std::chrono::milliseconds linger) {
  if (state_ != State::open) return;
  if (!handshakeDone_) {
    close();
    return;
  }
  state_ = State::closing;
  cancelDeadline();
  linger_.expires_after(linger);
  linger_.async_wait([self = shared_from_this()](std::error_code ec) {
    if (!ec && self->state_ == State::closing) self->close();
  });
  shutDown();
}

// Ends TLS once nothing is being written: the read in flight (if any) is
// cancelled first, as TLS cannot read for the shutdown and for the stream at
// the same time. The shutdown sends close_notify and waits for the peer's, or
// for the peer to close; the linger timer bounds the wait.
void PeerLinkConnection::shutDown() {
  if (state_ != State::closing || writing_ || shuttingDown_) return;
  if (reading_) {
    std::error_code ignored;
    stream_.next_layer().cancel(ignored);
    return;  // onRead comes back here
  }
  shuttingDown_ = true;
  stream_.async_shutdown([self = shared_from_this()](std::error_code) { self->close(); });
}

void PeerLinkConnection::end(const std::string& why, bool orderly) {
  if (state_ == State::closed) return;
  auto ended = std::move(handlers_.ended);
  handlers_.ended = nullptr;
  close();
  if (ended) ended(why, orderly);
}

void PeerLinkConnection::close() {
  if (state_ == State::closed) return;
  state_ = State::closed;
  std::error_code ignored;
  deadline_.cancel();
  linger_.cancel();
  stream_.next_layer().close(ignored);
  queued_ = std::string();
  queuedDone_.clear();
  outgoingDone_.clear();
}

}  // namespace qm
