#include "app/control_request.h"

#include <utility>

namespace qm {

Result<ControlRequest> decodeControlRequest(std::string_view line) {
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
