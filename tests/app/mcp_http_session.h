#pragma once

// An AI client of the companion's MCP server as a real one talks to it: JSON
// over HTTP POSTs to 127.0.0.1, the handshake's session carried on the later
// requests.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "support/http_client.h"

namespace qm::test {

class McpHttpSession {
 public:
  explicit McpHttpSession(std::uint16_t port) : port_(port) {}

  /// The "initialize" handshake under `clientName`; false when it failed.
  bool initialize(const std::string& clientName) {
    auto reply = post({{"jsonrpc", "2.0"},
                       {"id", 1},
                       {"method", "initialize"},
                       {"params",
                        {{"protocolVersion", "2025-03-26"},
                         {"capabilities", nlohmann::json::object()},
                         {"clientInfo", {{"name", clientName}, {"version", "1.0"}}}}}});
    if (!reply || reply->status != 200) return false;
    const auto session = reply->headers.find("mcp-session-id");
    if (session == reply->headers.end()) return false;
    session_ = session->second;
    return true;
  }

  /// The text a "tools/call" of `tool` answers (its first content item), or
  /// nothing when no answer came.
  std::optional<std::string> callTool(const std::string& tool) {
    auto reply = post({{"jsonrpc", "2.0"},
                       {"id", ++id_},
                       {"method", "tools/call"},
                       {"params", {{"name", tool}, {"arguments", nlohmann::json::object()}}}});
    if (!reply || reply->status != 200) return std::nullopt;
    const auto body = nlohmann::json::parse(reply->body, nullptr, false);
    if (!body.contains("result")) return std::nullopt;
    return body["result"]["content"][0].value("text", "");
  }

 private:
  std::optional<HTTPReply> post(const nlohmann::json& message) {
    const std::string body = message.dump();
    std::string request =
        "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n";
    if (!session_.empty()) request += "Mcp-Session-Id: " + session_ + "\r\n";
    request += "\r\n" + body;
    auto raw = exchangeHTTP(port_, request);
    if (!raw) return std::nullopt;
    auto reply = parseHTTPReply(*raw);
    if (!reply) return std::nullopt;
    return *reply;
  }

  std::uint16_t port_;
  std::string session_;
  int id_ = 1;
};

}  // namespace qm::test
