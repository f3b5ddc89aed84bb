#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/result.h"

namespace qm::mcp {

/// A dynamic JSON value. Integers without fraction or exponent stay integers,
/// `true`/`false` stay booleans.
using JSONValue = nlohmann::json;

/// A request id: a string or a 64-bit integer.
struct JSONRPCId {
  std::variant<std::string, std::int64_t> value;
  friend bool operator==(const JSONRPCId&, const JSONRPCId&) = default;
};

/// A request; without `id` it is a notification. Any `jsonrpc` text is accepted.
struct JSONRPCRequest {
  std::string jsonrpc;
  std::optional<JSONRPCId> id;
  std::string method;
  std::optional<JSONValue> params;  ///< absent when missing or null
};

struct JSONRPCError {
  std::int64_t code = 0;
  std::string message;
};

/// Error codes and their messages.
inline constexpr std::int64_t kParseError = -32700;      // "Parse error"
inline constexpr std::int64_t kMethodNotFound = -32601;  // "Method not found"
inline constexpr std::int64_t kInvalidParams = -32602;   // "Invalid params"
inline constexpr std::int64_t kInternalError = -32603;   // "Internal error"
JSONRPCError makeError(std::int64_t code);               ///< with the code's fixed message

/// A response: `jsonrpc` is always "2.0"; absent members are left out of the JSON.
struct JSONRPCResponse {
  std::optional<JSONRPCId> id;
  std::optional<JSONValue> result;
  std::optional<JSONRPCError> error;
};

/// How deeply `params` may nest arrays and objects.
inline constexpr std::size_t kMaxParamsDepth = 128;

/// Decodes one request object. Fails (with the reason) when it is not an object,
/// `jsonrpc` or `method` is missing or not a string, `id` is neither a string
/// nor an integer ("Expected string or int"), or `params` nests deeper than
/// `kMaxParamsDepth` levels (a scalar is level 0, `{}` or `[]` level 1).
Result<JSONRPCRequest> decodeRequest(const JSONValue& json);
/// Decodes an array of request objects (a batch, possibly empty); fails if any
/// element fails.
Result<std::vector<JSONRPCRequest>> decodeBatch(const JSONValue& json);

JSONValue encodeResponse(const JSONRPCResponse& response);
JSONValue encodeId(const JSONRPCId& id);

}  // namespace qm::mcp
