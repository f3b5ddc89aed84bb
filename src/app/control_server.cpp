#include "app/control_server.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <nlohmann/json.hpp>
#include <utility>

#include "app/control_client.h"
#include "app/control_request.h"
#include "common/atomic_file.h"
#include "common/log.h"

namespace qm {

namespace fs = std::filesystem;
using asio::local::stream_protocol;

namespace {

/// Requests are small; a line longer than this is refused.
constexpr std::size_t kMaxRequestBytes = 1 << 20;
/// After a failed accept (out of descriptors, say) the next try waits this
/// long, doubling up to the longest, so the loop never spins.
constexpr std::chrono::milliseconds kFirstAcceptRetry{50};
constexpr std::chrono::milliseconds kLongestAcceptRetry{2'000};
/// A repeated accept failure is logged at most this often.
constexpr std::chrono::seconds kAcceptLogInterval{10};

}  // namespace

struct ControlServer::Impl : std::enable_shared_from_this<ControlServer::Impl> {
  asio::io_context& io;
  fs::path path;
  stream_protocol::acceptor acceptor;
  std::map<std::string, Handler> handlers;
  bool running = false;
  std::chrono::milliseconds requestTimeout{10'000};
  asio::steady_timer acceptRetry;
  std::chrono::milliseconds acceptDelay{0};
  std::string lastAcceptError;
  std::chrono::steady_clock::time_point lastAcceptLog{};
  std::size_t acceptFailuresUnlogged = 0;

  Impl(asio::io_context& context, fs::path socketPath)
      : io(context), path(std::move(socketPath)), acceptor(context), acceptRetry(context) {}

  void accept();
  void acceptFailed(const std::error_code& ec);
};

namespace {

/// One client connection: reads one request line, dispatches it, writes the
/// answer lines in order and closes.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(stream_protocol::socket socket, std::weak_ptr<ControlServer::Impl> server)
      : socket_(std::move(socket)), server_(std::move(server)), timer_(socket_.get_executor()) {}

  /// Reads the request; a client that has not sent a whole line within
  /// `requestTimeout` is closed, so idle clients cannot use up descriptors.
  void start(std::chrono::milliseconds requestTimeout) {
    auto self = shared_from_this();
    timer_.expires_after(requestTimeout);
    timer_.async_wait([self](std::error_code ec) {
      if (!ec && !self->requestRead_) self->close();
    });
    asio::async_read_until(socket_, asio::dynamic_buffer(input_, kMaxRequestBytes), '\n',
                           [self](std::error_code ec, std::size_t n) { self->onRequest(ec, n); });
  }

  void write(std::string line, bool final) {
    if (closed_) return;
    line += '\n';
    const bool idle = outbox_.empty();
    queuedBytes_ += line.size();
    outbox_.push_back(std::move(line));
    if (final) finalQueued_ = true;
    if (idle) flush();
  }

  /// Keeps the connection open after the answer: reads (and ignores) what the
  /// client sends, so its going away is noticed at once.
  void keepOpen(std::function<void()> onClosed) {
    onClosed_ = std::move(onClosed);
    readUntilClosed();
  }

  /// Closes the connection; `notify` runs the `keepOpen` callback.
  void close(bool notify = true) {
    if (closed_) return;
    closed_ = true;
    std::error_code ignored;
    socket_.shutdown(stream_protocol::socket::shutdown_both, ignored);
    socket_.close(ignored);
    auto onClosed = std::exchange(onClosed_, {});
    if (notify && onClosed) onClosed();
  }

  bool closed() const { return closed_; }
  std::size_t queuedBytes() const { return queuedBytes_; }

 private:
  void onRequest(std::error_code ec, std::size_t n) {
    requestRead_ = true;
    timer_.cancel();
    if (ec) {
      if (ec == asio::error::not_found) {
        sendError("Request too large");
      }
      return;  // client went away before sending a whole line
    }
    auto request = decodeControlRequest(std::string_view(input_).substr(0, n - 1));
    if (!request) {
      sendError(request.error().message);
      return;
    }
    auto server = server_.lock();
    if (!server) return;
    const std::string& command = request->command;
    auto it = server->handlers.find(command);
    if (it == server->handlers.end()) {
      sendError("Unknown command \"" + command + "\"");
      return;
    }
    log::data().debug("Control request {}", command);
    auto reply = std::make_shared<Reply>(shared_from_this());
    // A handler's fault must not take the companion down: the client gets an
    // error line and the loop goes on.
    try {
      it->second(request->fields, reply);
    } catch (const std::exception& e) {
      log::data().error("Control request {} failed: {}", command, e.what());
      reply->fail("Internal error in " + command + ": " + e.what());
    }
  }

  void sendError(const std::string& message) {
    write(nlohmann::json{{"ok", false}, {"error", message}}.dump(), true);
  }

  void flush() {
    auto self = shared_from_this();
    asio::async_write(socket_, asio::buffer(outbox_.front()),
                      [self](std::error_code ec, std::size_t) {
                        if (ec) {
                          self->close();
                          return;
                        }
                        self->queuedBytes_ -= self->outbox_.front().size();
                        self->outbox_.pop_front();
                        if (!self->outbox_.empty()) {
                          self->flush();
                        } else if (self->finalQueued_) {
                          self->close(false);  // answered: the client is not gone early
                        }
                      });
  }

  void readUntilClosed() {
    auto self = shared_from_this();
    socket_.async_read_some(asio::buffer(discard_), [self](std::error_code ec, std::size_t) {
      if (ec) {
        self->close();
        return;
      }
      self->readUntilClosed();
    });
  }

  /// Hands answers back to the connection; answers exactly once.
  class Reply : public ControlReply {
   public:
    explicit Reply(std::shared_ptr<Connection> c) : connection_(std::move(c)) {}
    ~Reply() override {
      if (!answered_) connection_->sendError("No answer");
    }
    void progress(const nlohmann::json& message) override {
      if (!answered_) connection_->write(nlohmann::json{{"progress", message}}.dump(), false);
    }
    void succeed(const nlohmann::json& result) override {
      if (answered_) return;
      answered_ = true;
      connection_->write(nlohmann::json{{"ok", true}, {"result", result}}.dump(), true);
    }
    void fail(const std::string& message) override {
      if (answered_) return;
      answered_ = true;
      connection_->sendError(message);
    }
    void whenClientGone(std::function<void()> gone) override {
      if (!answered_) connection_->keepOpen(std::move(gone));
    }
    std::shared_ptr<ControlStream> openStream(const nlohmann::json& result,
                                              std::size_t maxQueuedBytes,
                                              std::function<void()> onClosed) override {
      if (answered_) return nullptr;
      answered_ = true;
      connection_->write(nlohmann::json{{"ok", true}, {"result", result}}.dump(), false);
      connection_->keepOpen(std::move(onClosed));
      return std::make_shared<Stream>(connection_, maxQueuedBytes);
    }

   private:
    std::shared_ptr<Connection> connection_;
    bool answered_ = false;
  };

  /// The lines after a reply turned into a stream.
  class Stream : public ControlStream {
   public:
    Stream(std::shared_ptr<Connection> c, std::size_t maxQueuedBytes)
        : connection_(std::move(c)), maxQueuedBytes_(maxQueuedBytes) {}
    ~Stream() override { close(); }
    bool send(const nlohmann::json& line) override {
      if (connection_->closed()) return false;
      std::string text = line.dump();
      if (connection_->queuedBytes() + text.size() + 1 > maxQueuedBytes_) {
        connection_->close();
        return false;
      }
      connection_->write(std::move(text), false);
      return true;
    }
    void close() override { connection_->close(false); }
    bool isOpen() const override { return !connection_->closed(); }

   private:
    std::shared_ptr<Connection> connection_;
    std::size_t maxQueuedBytes_;
  };

  stream_protocol::socket socket_;
  std::weak_ptr<ControlServer::Impl> server_;
  std::function<void()> onClosed_;
  std::array<char, 256> discard_{};
  std::size_t queuedBytes_ = 0;
  std::string input_;
  std::deque<std::string> outbox_;
  asio::steady_timer timer_;
  bool requestRead_ = false;
  bool finalQueued_ = false;
  bool closed_ = false;
};

}  // namespace

void ControlServer::Impl::accept() {
  auto weak = weak_from_this();
  acceptor.async_accept([weak](std::error_code ec, stream_protocol::socket socket) {
    auto self = weak.lock();
    if (!self || !self->running) return;
    if (!ec) {
      self->acceptDelay = std::chrono::milliseconds(0);
      // Only the user who runs the companion may talk to it.
      ucred cred{};
      socklen_t len = sizeof cred;
      if (getsockopt(socket.native_handle(), SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 &&
          cred.uid == getuid()) {
        std::make_shared<Connection>(std::move(socket), weak)->start(self->requestTimeout);
      } else {
        log::data().error("Refused a control connection from another user");
      }
    } else if (ec == asio::error::operation_aborted) {
      return;
    } else {
      self->acceptFailed(ec);
      return;
    }
    self->accept();
  });
}

void ControlServer::Impl::acceptFailed(const std::error_code& ec) {
  const auto now = std::chrono::steady_clock::now();
  if (ec.message() != lastAcceptError || now - lastAcceptLog >= kAcceptLogInterval) {
    if (acceptFailuresUnlogged > 0)
      log::data().error("Control socket accept failed {} more times", acceptFailuresUnlogged);
    log::data().error("Control socket accept failed: {}; trying again", ec.message());
    lastAcceptError = ec.message();
    lastAcceptLog = now;
    acceptFailuresUnlogged = 0;
  } else {
    ++acceptFailuresUnlogged;
  }
  acceptDelay = std::clamp(acceptDelay * 2, kFirstAcceptRetry, kLongestAcceptRetry);
  acceptRetry.expires_after(acceptDelay);
  acceptRetry.async_wait([weak = weak_from_this()](std::error_code waited) {
    auto self = weak.lock();
    if (!waited && self && self->running) self->accept();
  });
}

ControlServer::ControlServer(asio::io_context& io, fs::path socketPath)
    : impl_(std::make_shared<Impl>(io, std::move(socketPath))) {}

ControlServer::~ControlServer() {
  stop();
}

void ControlServer::setRequestTimeout(std::chrono::milliseconds timeout) {
  impl_->requestTimeout = timeout;
}

void ControlServer::handle(const std::string& command, Handler handler) {
  impl_->handlers[command] = std::move(handler);
}

Status ControlServer::start() {
  std::error_code ec;
  createPrivateFolders(impl_->path.parent_path(), ec);
  fs::permissions(impl_->path.parent_path(), fs::perms::owner_all, ec);
  if (fs::exists(fs::symlink_status(impl_->path, ec))) {
    if (companionIsRunning(impl_->path))
      return Error(ErrorCode::alreadyExists,
                   "Quillmere is already running (control socket " + impl_->path.string() + ")");
    fs::remove(impl_->path, ec);  // left by a companion that did not stop cleanly
  }
  stream_protocol::endpoint endpoint(impl_->path.string());
  impl_->acceptor.open(endpoint.protocol(), ec);
  if (!ec) {
    // Created with mode 0600 from the start, not tightened afterwards.
    mode_t old = umask(0177);
    impl_->acceptor.bind(endpoint, ec);
    umask(old);
  }
  if (!ec) impl_->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    std::error_code ignored;
    impl_->acceptor.close(ignored);
    return Error(ErrorCode::unavailable,
                 "Could not open the control socket " + impl_->path.string() + ": " + ec.message());
  }
  impl_->running = true;
  impl_->accept();
  return {};
}

void ControlServer::stop() {
  if (!impl_->running) return;
  impl_->running = false;
  impl_->acceptRetry.cancel();
  std::error_code ec;
  impl_->acceptor.close(ec);
  fs::remove(impl_->path, ec);
}

}  // namespace qm
