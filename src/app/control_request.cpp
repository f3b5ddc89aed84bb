#include "app/control_request.h"

#include <utility>

#include "common/json_nesting.h"

namespace qm {

Result<ControlRequest> decodeControlRequest(std::string_view line) {
  // Counted on the bytes before parsing: handlers copy what they read, and
  // copying a value recurses once per level, so a line of half a million
  // brackets would run the companion out of stack.
  if (jsonNestsDeeperThan(line, kMaxControlRequestDepth))
    return Error(ErrorCode::invalidArgument, std::string(kTooDeepControlRequest));
  // Parsed without exceptions: what a client sends is never trusted to be JSON.
  auto fields = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (!fields.is_object())
    return Error(ErrorCode::invalidArgument, std::string(kBadControlRequest));
  const auto command = fields.find("command");
  if (command == fields.end() || !command->is_string())
    return Error(ErrorCode::invalidArgument, std::string(kBadControlRequest));
  std::string name = command->get<std::string>();
  return ControlRequest{std::move(name), std::move(fields)};
}

}  // namespace qm
