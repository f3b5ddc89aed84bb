#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "common/uuid.h"
#include "mcp/http_request.h"
#include "mcp/http_server.h"

namespace qm {
class AppSettings;
class DeviceIdentity;
class Store;
}  // namespace qm

namespace qm::mcp {

class MCPAuthManager;
struct JSONRPCId;
class MCPRouter;
class MCPToolHandlers;

/// The MCP endpoint of the HTTP listener, without sockets: turns one parsed
/// request into the response that goes back. It has its own tool set,
/// authorisation manager and router.
///
/// Requests whose Origin or Host names another site are refused with 403
/// before their body is looked at. "GET /mcp" reports the status, "POST /mcp"
/// carries one JSON-RPC request or a batch (a body that is neither is answered
/// with a parse error), "OPTIONS" anything is 204, the rest 404. An
/// "initialize" opens a session (the "Mcp-Session-Id" header of the MCP
/// streamable HTTP transport) under which later connections run as the client
/// that shook hands; a request naming an unknown session gets 404, and
/// "DELETE /mcp" with a session ends it. At most 1024 sessions are kept, the
/// oldest forgotten first.
class MCPEndpoint final : public HTTPHandler {
 public:
  MCPEndpoint(Store& store, const AppSettings& settings, DeviceIdentity& identity);
  ~MCPEndpoint() override;
  MCPEndpoint(const MCPEndpoint&) = delete;
  MCPEndpoint& operator=(const MCPEndpoint&) = delete;

  /// 403 for a request of a web page of another site (see `isForeignRequest`).
  std::optional<HTTPResponse> refuse(const HTTPRequest& head) override;
  /// The answer to a request that passed `refuse`; nothing when no answer can
  /// be encoded.
  std::optional<HTTPResponse> respond(const HTTPRequest& request,
                                      const Uuid& connectionID) override;

  /// How many connections the endpoint still remembers; every connection
  /// carries one request, so none once its answer is made (sessions keep the
  /// client names that later connections need).
  std::size_t connectionsInMemory() const;

 private:
  std::optional<HTTPResponse> answer(const HTTPRequest& request, const Uuid& connectionID);
  HTTPResponse handlePost(const HTTPRequest& request, const Uuid& connectionID);
  /// For a request naming a session: 404 when the session is unknown, else
  /// binds the connection to the session's client and gives nothing. The 404
  /// names `requestID` unless it is null.
  std::optional<HTTPResponse> checkSession(const HTTPRequest& request, const JSONRPCId* requestID,
                                           const Uuid& connectionID);
  std::string openSession(std::string clientName);

  // The router refers to the tools and the manager, so it is declared (and
  // built) after them and dropped before them.
  std::unique_ptr<MCPToolHandlers> tools_;
  std::unique_ptr<MCPAuthManager> auth_;
  std::unique_ptr<MCPRouter> router_;
  /// Session id → the client name the handshake recorded, and ids in issue order.
  std::map<std::string, std::string> sessions_;
  std::deque<std::string> sessionOrder_;
};

}  // namespace qm::mcp
