#pragma once

#include <chrono>
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
};

/// The running companion's control socket: a Unix stream socket that takes one
/// JSON request per line ({"command": NAME, ...}) and answers one JSON line (or
/// progress lines ending in the answer). Only the owning user may connect: the
/// folder is 0700, the socket 0600, and the peer's uid is checked.
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
