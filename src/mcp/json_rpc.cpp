#include "mcp/json_rpc.h"

#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm::mcp {

namespace {

Error missingKey(std::string_view key) {
  return Error("Missing key \"" + std::string(key) + "\"");
}

Error wrongType(std::string_view key, std::string_view expected) {
  return Error("\"" + std::string(key) + "\": " + std::string(expected));
}

/// The string under `key`; fails when the key is missing or holds something else.
Result<std::string> requiredString(const JSONValue& object, std::string_view key) {
  auto it = object.find(key);
  if (it == object.end()) return missingKey(key);
  if (!it->is_string()) return wrongType(key, "Expected string");
  return it->get<std::string>();
}

/// Whether `json` nests arrays and objects more than `limit` levels deep,
/// found without recursion (on a value that deep, recursion is the fault).
bool nestsDeeperThan(const JSONValue& json, std::size_t limit) {
  std::vector<std::pair<const JSONValue*, std::size_t>> pending{{&json, 1}};
  while (!pending.empty()) {
    const auto [value, level] = pending.back();
    pending.pop_back();
    if (!value->is_structured()) continue;
    if (level > limit) return true;
    for (const JSONValue& child : *value) pending.emplace_back(&child, level + 1);
  }
  return false;
}

/// A string, or an integer written without fraction or exponent that fits in
/// 64 bits. The JSON parser keeps "3.0" and "1e2" as floating-point numbers, so
/// they are refused here like any other non-integer.
Result<JSONRPCId> decodeId(const JSONValue& json) {
  if (json.is_string()) return JSONRPCId{json.get<std::string>()};
  if (json.is_number_integer() && !json.is_number_unsigned())
    return JSONRPCId{json.get<std::int64_t>()};
  if (json.is_number_unsigned()) {
    const auto value = json.get<std::uint64_t>();
    if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
      return JSONRPCId{static_cast<std::int64_t>(value)};
  }
  return Error("Expected string or int");
}

}  // namespace

JSONRPCError makeError(std::int64_t code) {
  switch (code) {
    case kParseError:
      return {code, "Parse error"};
    case kMethodNotFound:
      return {code, "Method not found"};
    case kInvalidParams:
      return {code, "Invalid params"};
    case kInternalError:
      return {code, "Internal error"};
    default:
      return {code, "Server error"};
  }
}

Result<JSONRPCRequest> decodeRequest(const JSONValue& json) {
  if (!json.is_object()) return Error("Expected object");

  JSONRPCRequest request;
  auto jsonrpc = requiredString(json, "jsonrpc");
  if (!jsonrpc) return jsonrpc.error();
  request.jsonrpc = std::move(jsonrpc).value();

  if (auto it = json.find("id"); it != json.end() && !it->is_null()) {
    auto id = decodeId(*it);
    if (!id) return id.error();
    request.id = std::move(id).value();
  }

  auto method = requiredString(json, "method");
  if (!method) return method.error();
  request.method = std::move(method).value();

  if (auto it = json.find("params"); it != json.end() && !it->is_null()) {
    // Copying a JSON value (or writing it out) recurses once per level: a body
    // of a few megabytes of brackets would exhaust the stack and take the
    // companion down. No MCP request nests anywhere near this deep.
    if (nestsDeeperThan(*it, kMaxParamsDepth)) {
      return wrongType("params",
                       "Nested deeper than " + std::to_string(kMaxParamsDepth) + " levels");
    }
    request.params = *it;
  }
  return request;
}

Result<std::vector<JSONRPCRequest>> decodeBatch(const JSONValue& json) {
  if (!json.is_array()) return Error("Expected array");

  std::vector<JSONRPCRequest> requests;
  requests.reserve(json.size());
  for (std::size_t i = 0; i < json.size(); ++i) {
    auto request = decodeRequest(json[i]);
    if (!request) {
      return Error("Batch element " + std::to_string(i) + ": " + request.error().message);
    }
    requests.push_back(std::move(request).value());
  }
  return requests;
}

JSONValue encodeId(const JSONRPCId& id) {
  return std::visit([](const auto& value) { return JSONValue(value); }, id.value);
}

JSONValue encodeResponse(const JSONRPCResponse& response) {
  JSONValue json = JSONValue::object();
  json["jsonrpc"] = "2.0";
  if (response.id) json["id"] = encodeId(*response.id);
  // A null result would read as a member set to null; it is left out like an absent one.
  if (response.result && !response.result->is_null()) json["result"] = *response.result;
  if (response.error) {
    json["error"] = {{"code", response.error->code}, {"message", response.error->message}};
  }
  return json;
}

}  // namespace qm::mcp
