#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "common/result.h"

namespace asio {
class io_context;
}

namespace qm {

/// An open stream of lines to one client, for a request that stays open
/// ("subscribe"). Lines wait in a bounded queue while the client reads them.
class ControlStream {
 public:
  virtual ~ControlStream() = default;
  /// Queues one line. False when the stream is closed, or when the line did
  /// not fit in the queue: then the client is too far behind and the stream is
  /// closed now (its `onClosed` runs before this returns).
  virtual bool send(const nlohmann::json& line) = 0;
  /// Closes the connection; `onClosed` does not run for it.
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
};

/// The answer to one control request. A handler may answer at once or keep the
/// reply and answer later on the main loop; lines written by `progress` reach
/// the client before the final one. A reply dropped without an answer fails
/// with "No answer".
class ControlReply {
 public:
  virtual ~ControlReply() = default;
  /// One progress line {"progress": ...}.
  virtual void progress(const nlohmann::json& message) = 0;
  /// The final line {"ok": true, "result": ...}.
  virtual void succeed(const nlohmann::json& result) = 0;
  /// The final line {"ok": false, "error": message}.
  virtual void fail(const std::string& message) = 0;
  /// Runs `gone` once, on the main loop, if the client closes its connection
  /// before the reply is answered (a reply kept for later). Not after the answer.
  virtual void whenClientGone(std::function<void()> gone) = 0;
  /// Answers {"ok": true, "result": result} and keeps the connection open as a
  /// stream of further lines, at most `maxQueuedBytes` of them waiting at a
  /// time. `onClosed` runs once, on the main loop, when the client goes away, a
  /// write fails or the queue overflows. Null when the reply was answered.
  virtual std::shared_ptr<ControlStream> openStream(const nlohmann::json& result,
                                                    std::size_t maxQueuedBytes,
                                                    std::function<void()> onClosed) = 0;
};

/// The running companion's control socket: a Unix stream socket that takes one
/// JSON request per line ({"command": NAME, ...}) and answers one JSON line (or
/// progress lines ending in the answer, or an open stream of lines). Only the
/// owning user may connect: the folder is 0700, the socket 0600, and the peer's
/// uid is checked.
class ControlServer {
 public:
  using Handler =
      std::function<void(const nlohmann::json& request, std::shared_ptr<ControlReply> reply)>;

  ControlServer(asio::io_context& io, std::filesystem::path socketPath);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  /// Registers the handler of one command; later issues add theirs.
  void handle(const std::string& command, Handler handler);
  /// How long a client may take to send its request line (10 s by default).
  void setRequestTimeout(std::chrono::milliseconds timeout);

  /// Binds and listens. Refuses when another companion answers on the socket;
  /// a stale socket file left by a crash is replaced.
  Status start();
  /// Closes the socket and removes its file. Open connections are dropped.
  void stop();

  /// Implementation state; public only so connections can refer to it.
  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace qm
