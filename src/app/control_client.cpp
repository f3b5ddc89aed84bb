#include "app/control_client.h"

#include <asio.hpp>
#include <nlohmann/json.hpp>

namespace qm {

using asio::local::stream_protocol;

namespace {

Result<stream_protocol::socket> connectTo(asio::io_context& io,
                                          const std::filesystem::path& socketPath) {
  stream_protocol::socket socket(io);
  std::error_code ec;
  socket.connect(stream_protocol::endpoint(socketPath.string()), ec);
  if (ec) return Error(ErrorCode::unavailable, kNotRunningText);
  return socket;
}

}  // namespace

bool companionIsRunning(const std::filesystem::path& socketPath) {
  asio::io_context io;
  return connectTo(io, socketPath).ok();
}

Result<nlohmann::json> sendControlRequest(
    const std::filesystem::path& socketPath, const nlohmann::json& request,
    const std::function<void(const nlohmann::json&)>& onProgress) {
  asio::io_context io;
  auto socket = connectTo(io, socketPath);
  if (!socket) return socket.error();
  std::error_code ec;
  asio::write(*socket, asio::buffer(request.dump() + "\n"), ec);
  if (ec) return Error(ErrorCode::internal, "Could not talk to Quillmere: " + ec.message());

  std::string buffer;
  for (;;) {
    std::size_t n = asio::read_until(*socket, asio::dynamic_buffer(buffer), '\n', ec);
    if (ec) return Error(ErrorCode::internal, "Quillmere closed the connection without an answer");
    auto line = nlohmann::json::parse(buffer.substr(0, n - 1), nullptr, false);
    buffer.erase(0, n);
    if (!line.is_object()) return Error(ErrorCode::internal, "Quillmere sent an unreadable answer");
    if (line.contains("progress")) {
      if (onProgress) onProgress(line["progress"]);
      continue;
    }
    if (line.value("ok", false)) return line.contains("result") ? line["result"] : nlohmann::json();
    return Error(ErrorCode::failedPrecondition,
                 line.value("error", std::string("Quillmere refused the request")));
  }
}

}  // namespace qm
