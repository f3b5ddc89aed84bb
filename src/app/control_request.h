#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "common/result.h"

namespace qm {

/// One request line of the control socket, decoded.
struct ControlRequest {
  std::string command;  ///< the "command" member, which picks the handler
  /// The whole request object ("command" included), as the handler reads its
  /// own fields from it.
  nlohmann::json fields;
};

/// What a line that is no request is answered with.
inline constexpr std::string_view kBadControlRequest =
    "Bad request: expected a JSON object with a \"command\"";

/// How deeply a request may nest arrays and objects; real ones need three.
inline constexpr std::size_t kMaxControlRequestDepth = 64;
/// What a line nested deeper than that is answered with.
inline constexpr std::string_view kTooDeepControlRequest =
    "Bad request: nested deeper than 64 levels";

/// Decodes one request line (without its line feed): a JSON object whose
/// "command" is text. Anything else (not JSON, not UTF-8, another JSON value,
/// no "command" or one that is not text) fails with `invalidArgument` and
/// `kBadControlRequest`; a line nested deeper than `kMaxControlRequestDepth`
/// fails with `kTooDeepControlRequest` before it is parsed. Never throws.
Result<ControlRequest> decodeControlRequest(std::string_view line);

}  // namespace qm
