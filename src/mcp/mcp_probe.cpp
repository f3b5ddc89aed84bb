#include "mcp/mcp_probe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

namespace qm::mcp {

namespace {

/// Closes the socket when it goes out of scope.
struct Socket {
  int fd;
  ~Socket() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

Result<std::string> probeMCPServer(std::uint16_t port, std::chrono::milliseconds timeout) {
  const std::string where = "127.0.0.1:" + std::to_string(port);
  Socket s{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
  if (s.fd < 0) return Error(ErrorCode::internal, std::string("socket: ") + std::strerror(errno));
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  ::setsockopt(s.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(s.fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(s.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    return Error(ErrorCode::unavailable, "nothing answers on " + where);

  const nlohmann::json initialize{
      {"jsonrpc", "2.0"},
      {"id", 1},
      {"method", "initialize"},
      {"params",
       {{"protocolVersion", "2025-03-26"},
        {"capabilities", nlohmann::json::object()},
        {"clientInfo", {{"name", "Quillmere doctor"}, {"version", "1"}}}}}};
  const std::string body = initialize.dump();
  const std::string request = "POST /mcp HTTP/1.1\r\nHost: " + where +
                              "\r\nContent-Type: application/json\r\n"
                              "Accept: application/json, text/event-stream\r\n"
                              "Connection: close\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\n\r\n" + body;
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n = ::send(s.fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return Error(ErrorCode::unavailable, where + " closed the connection");
    sent += static_cast<std::size_t>(n);
  }
  std::string answer;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(s.fd, buffer, sizeof buffer, 0);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK)
        return Error(ErrorCode::deadlineExceeded, where + " did not answer in time");
      return Error(ErrorCode::unavailable, where + " closed the connection");
    }
    answer.append(buffer, static_cast<std::size_t>(n));
    if (answer.size() > (1u << 20)) break;  // no initialize answer is this long
  }
  const std::size_t head = answer.find("\r\n\r\n");
  if (!answer.starts_with("HTTP/1.1 ") || head == std::string::npos)
    return Error(ErrorCode::unavailable, where + " does not speak HTTP");
  const std::string status = answer.substr(9, 3);
  if (status != "200") return Error(ErrorCode::unavailable, where + " answered HTTP " + status);
  const auto json = nlohmann::json::parse(answer.substr(head + 4), nullptr, false);
  const auto* info = json.is_object() && json.contains("result") && json["result"].is_object()
                         ? &json["result"]
                         : nullptr;
  if (!info || !info->contains("serverInfo") || !(*info)["serverInfo"].is_object())
    return Error(ErrorCode::unavailable, where + " is not an MCP server");
  const auto& server = (*info)["serverInfo"];
  return server.value("name", std::string("?")) + " " + server.value("version", std::string());
}

}  // namespace qm::mcp
