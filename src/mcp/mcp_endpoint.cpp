#include "mcp/mcp_endpoint.h"

#include <chrono>
#include <exception>
#include <utility>
#include <vector>

#include "common/json_nesting.h"
#include "common/log.h"
#include "mcp/json_rpc.h"
#include "mcp/mcp_auth_manager.h"
#include "mcp/mcp_router.h"
#include "mcp/mcp_tool_handlers.h"

namespace qm::mcp {

namespace {

/// Sessions kept at most; the oldest is forgotten first (its client then gets
/// 404 and initialises again).
constexpr std::size_t kMaxSessions = 1024;

constexpr std::string_view kStatusBody =
    R"({"name":"Quillmere MCP","version":"1.0","status":"running"})";
constexpr std::string_view kNotFoundBody =
    R"({"error":"Not found. Use POST /mcp for MCP requests."})";

constexpr std::int64_t kSessionNotFound = -32001;
/// A batch runs on the main loop: it is cut off after this many requests or
/// this much time, so other clients (and `quillmere status`) are not kept
/// waiting; the requests past the cut are answered with `kBatchCutOff`.
constexpr std::size_t kMaxBatchRequests = 100;
constexpr std::chrono::milliseconds kBatchTimeBudget{500};
constexpr std::int64_t kBatchCutOff = -32002;
/// The deepest a request body may nest: the batch's array, the request object,
/// then its params.
constexpr std::size_t kMaxBodyDepth = kMaxParamsDepth + 2;

}  // namespace

MCPEndpoint::MCPEndpoint(Store& store, const AppSettings& settings, DeviceIdentity& identity)
    : tools_(std::make_unique<MCPToolHandlers>(store, settings, identity)),
      auth_(std::make_unique<MCPAuthManager>(store)),
      router_(std::make_unique<MCPRouter>(*tools_, *auth_)) {}

MCPEndpoint::~MCPEndpoint() {
  router_.reset();
  auth_.reset();
  tools_.reset();
}

std::optional<HTTPResponse> MCPEndpoint::refuse(const HTTPRequest& head) {
  // A web page of another site (or one reached by DNS rebinding) learns
  // nothing, not even whether its body would have been accepted.
  if (isForeignRequest(head)) return HTTPResponse{403, std::string(kForbiddenBody), {}};
  return std::nullopt;
}

std::optional<HTTPResponse> MCPEndpoint::respond(const HTTPRequest& request,
                                                 const Uuid& connectionID) {
  auto response = answer(request, connectionID);
  // One request per connection: what was recorded for it goes with it.
  router_->forgetConnection(connectionID);
  return response;
}

std::size_t MCPEndpoint::connectionsInMemory() const {
  return router_->connectionCount();
}

std::optional<HTTPResponse> MCPEndpoint::answer(const HTTPRequest& request,
                                                const Uuid& connectionID) {
  const bool isEndpoint = request.path == "/mcp";
  try {
    if (request.method == "OPTIONS") return HTTPResponse{204, {}, {}};
    if (request.method == "GET" && isEndpoint) {
      if (auto refused = checkSession(request, nullptr, connectionID)) return refused;
      return HTTPResponse{200, std::string(kStatusBody), {}};
    }
    if (request.method == "POST" && isEndpoint) return handlePost(request, connectionID);
    // Ends a session, as the MCP streamable HTTP transport lets clients do.
    if (request.method == "DELETE" && isEndpoint && request.header("mcp-session-id")) {
      if (auto refused = checkSession(request, nullptr, connectionID)) return refused;
      sessions_.erase(std::string(*request.header("mcp-session-id")));
      return HTTPResponse{204, {}, {}};
    }
    return HTTPResponse{404, std::string(kNotFoundBody), {}};
  } catch (const std::exception& e) {
    // Encoding fails on text that is not UTF-8; such a reply cannot be sent.
    log::mcp().error("Could not answer an MCP request: {}", e.what());
    return std::nullopt;
  }
}

HTTPResponse MCPEndpoint::handlePost(const HTTPRequest& request, const Uuid& connectionID) {
  std::optional<JSONRPCRequest> single;
  std::optional<std::vector<JSONRPCRequest>> batch;
  // Nesting is counted on the bytes first: a body of a megabyte of brackets
  // would otherwise cost the parser a second of the main loop, and nothing
  // nested that deep can be a request (see `kMaxParamsDepth`).
  if (request.body && !request.body->empty() &&
      !jsonNestsDeeperThan(*request.body, kMaxBodyDepth)) {
    const auto json = JSONValue::parse(*request.body, nullptr, false);
    if (!json.is_discarded()) {
      if (auto one = decodeRequest(json)) {
        single = std::move(one).value();
      } else if (auto many = decodeBatch(json)) {
        batch = std::move(many).value();
      }
    }
  }
  const JSONRPCId* requestID = single && single->id ? &*single->id : nullptr;
  if (auto refused = checkSession(request, requestID, connectionID)) return *refused;
  if (!single && !batch) {
    const JSONRPCResponse parseError{std::nullopt, std::nullopt, makeError(kParseError)};
    return HTTPResponse{200, encodeResponse(parseError).dump(), {}};
  }

  std::vector<JSONRPCRequest> requests;
  if (single) {
    requests.push_back(std::move(*single));
  } else {
    requests = std::move(*batch);
  }
  bool initializes = false;
  JSONValue responses = JSONValue::array();
  const auto started = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const JSONRPCRequest& one = requests[i];
    if (i >= kMaxBatchRequests || std::chrono::steady_clock::now() - started > kBatchTimeBudget) {
      if (one.id) {
        const JSONRPCResponse cutOff{
            one.id, std::nullopt,
            JSONRPCError{kBatchCutOff, "Batch cut off after " + std::to_string(i) +
                                           " requests; send the rest again"}};
        responses.push_back(encodeResponse(cutOff));
      }
      continue;
    }
    initializes = initializes || one.method == "initialize";
    if (auto response = router_->handle(one, connectionID)) {
      responses.push_back(encodeResponse(*response));
    }
  }

  HTTPResponse response{204, {}, {}};
  if (!responses.empty()) {
    response.status = 200;
    response.body = single ? responses.front().dump() : responses.dump();
  }
  // The handshake opens a session: later connections that name it run as the
  // client that shook hands, although each request comes on a new connection.
  if (initializes) {
    if (auto name = router_->clientName(connectionID)) {
      response.extraHeaders = "Mcp-Session-Id: " + openSession(std::move(*name)) +
                              "\r\nAccess-Control-Expose-Headers: Mcp-Session-Id\r\n";
    }
  }
  return response;
}

std::optional<HTTPResponse> MCPEndpoint::checkSession(const HTTPRequest& request,
                                                      const JSONRPCId* requestID,
                                                      const Uuid& connectionID) {
  const auto sessionID = request.header("mcp-session-id");
  if (!sessionID) return std::nullopt;
  const auto it = sessions_.find(std::string(*sessionID));
  if (it != sessions_.end()) {
    router_->bindClient(connectionID, it->second);
    return std::nullopt;
  }
  // Tells the client to initialise again (after a restart of the server, say).
  const JSONRPCResponse notFound{requestID ? std::optional(*requestID) : std::nullopt, std::nullopt,
                                 JSONRPCError{kSessionNotFound, "Session not found"}};
  return HTTPResponse{404, encodeResponse(notFound).dump(), {}};
}

std::string MCPEndpoint::openSession(std::string clientName) {
  std::string id = Uuid::random().str();
  sessions_.emplace(id, std::move(clientName));
  sessionOrder_.push_back(id);
  if (sessionOrder_.size() > kMaxSessions) {
    sessions_.erase(sessionOrder_.front());
    sessionOrder_.pop_front();
  }
  return id;
}

}  // namespace qm::mcp
