#include "mcp/mcp_router.h"

#include <utility>

#include "common/log.h"
#include "mcp/mcp_auth_manager.h"
#include "mcp/mcp_tool_handlers.h"

namespace qm::mcp {

namespace {

constexpr const char* kProtocolVersion = "2025-03-26";
constexpr const char* kServerName = "Quillmere MCP";
constexpr const char* kServerVersion = "1.0";
constexpr const char* kAccessDenied = R"({"error":"Access denied. Client has been revoked."})";

JSONRPCResponse rpcSuccess(const JSONRPCRequest& request, JSONValue result) {
  return JSONRPCResponse{request.id, std::move(result), std::nullopt};
}

JSONRPCResponse rpcFailure(const JSONRPCRequest& request, std::int64_t code) {
  return JSONRPCResponse{request.id, std::nullopt, makeError(code)};
}

/// params.clientInfo.name when every step has the expected type.
std::string handshakeClientName(const std::optional<JSONValue>& params) {
  if (!params || !params->is_object()) return MCPRouter::kUnknownClient;
  auto info = params->find("clientInfo");
  if (info == params->end() || !info->is_object()) return MCPRouter::kUnknownClient;
  auto name = info->find("name");
  if (name == info->end() || !name->is_string()) return MCPRouter::kUnknownClient;
  return name->get<std::string>();
}

/// The tool result as MCP clients expect it: one text item, flagged when it is an error.
JSONValue toolResult(const std::string& text, bool isError) {
  JSONValue result = {{"content", JSONValue::array({{{"type", "text"}, {"text", text}}})}};
  if (isError) result["isError"] = true;
  return result;
}

/// {"error": text} as one JSON document, whatever the text holds.
std::string errorDocument(const std::string& text) {
  return JSONValue{{"error", text}}.dump(-1, ' ', false, JSONValue::error_handler_t::replace);
}

/// Whether `toolName` is one of the tools that change records (they follow the
/// read tools in the catalogue).
bool isWriteTool(const std::string& toolName) {
  const auto& tools = MCPToolHandlers::tools();
  for (std::size_t i = MCPToolHandlers::kReadToolCount; i < tools.size(); ++i)
    if (tools[i].name == toolName) return true;
  return false;
}

}  // namespace

MCPRouter::MCPRouter(MCPToolHandlers& tools, MCPAuthManager& auth) : tools_(tools), auth_(auth) {}

std::optional<JSONRPCResponse> MCPRouter::handle(const JSONRPCRequest& request,
                                                 const Uuid& connectionID) {
  const std::string& method = request.method;

  if (method == "initialize") {
    std::string name = handshakeClientName(request.params);
    auth_.authorizeClient(name);
    log::mcp().info("MCP initialize from: {}", name);
    initializedClients_[connectionID] = std::move(name);
    return rpcSuccess(request,
                      {{"protocolVersion", kProtocolVersion},
                       {"capabilities", {{"tools", {{"listChanged", false}}}}},
                       {"serverInfo", {{"name", kServerName}, {"version", kServerVersion}}}});
  }

  // The client's acknowledgement of the handshake; never answered, even when
  // a client sends it with an id.
  if (method == "notifications/initialized") return std::nullopt;

  if (method == "tools/list") {
    JSONValue list = JSONValue::array();
    for (const MCPTool& tool : MCPToolHandlers::tools()) {
      list.push_back({{"name", tool.name},
                      {"description", tool.description},
                      {"inputSchema", tool.inputSchema}});
    }
    return rpcSuccess(request, {{"tools", std::move(list)}});
  }

  if (method == "tools/call") {
    const auto& params = request.params;
    if (!params || !params->is_object()) return rpcFailure(request, kInvalidParams);
    auto name = params->find("name");
    if (name == params->end() || !name->is_string()) return rpcFailure(request, kInvalidParams);
    const std::string toolName = name->get<std::string>();
    auto arguments = params->find("arguments");
    const JSONValue noArguments;
    const JSONValue& args = arguments == params->end() ? noArguments : *arguments;

    // A connection that skipped "initialize" runs as the unknown client, which
    // is refused unless a client of that name was authorised earlier.
    const std::string client = clientName(connectionID).value_or(kUnknownClient);
    auto access = auth_.access(client);
    if (!access) {
      // The store failed, not the client: say so, and what the log holds.
      log::mcp().error("Could not check the MCP client \"{}\": {}", client, access.error().message);
      return rpcSuccess(
          request, toolResult(errorDocument("Quillmere could not read its store (" +
                                            access.error().message + "). See Quillmere's log."),
                              true));
    }
    if (*access == ClientAccess::none) return rpcSuccess(request, toolResult(kAccessDenied, true));
    if (*access == ClientAccess::read && isWriteTool(toolName)) {
      return rpcSuccess(request,
                        toolResult(errorDocument(client +
                                                 " may only read. To let it change records, "
                                                 "run: quillmere mcp allow-writes \"" +
                                                 client + "\""),
                                   true));
    }

    ToolOutcome outcome = tools_.callTool(toolName, args);
    auth_.logAccess(client, toolName,
                    outcome.isError ? std::nullopt : std::optional(outcome.resultCount));
    log::mcp().debug("tools/call {} \u2192 {} results", toolName, outcome.resultCount);
    return rpcSuccess(request, toolResult(outcome.text, outcome.isError));
  }

  if (method == "ping") return rpcSuccess(request, JSONValue::object());

  log::mcp().error("Unknown MCP method: {}", method);
  return rpcFailure(request, kMethodNotFound);
}

std::optional<std::string> MCPRouter::clientName(const Uuid& connectionID) const {
  auto it = initializedClients_.find(connectionID);
  if (it == initializedClients_.end()) return std::nullopt;
  return it->second;
}

void MCPRouter::bindClient(const Uuid& connectionID, std::string clientName) {
  initializedClients_[connectionID] = std::move(clientName);
}

}  // namespace qm::mcp
