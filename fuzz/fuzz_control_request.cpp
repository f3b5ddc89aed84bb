// Decodes the input as one request line of the control socket.
//
// For every input:
// - nothing throws out of decodeControlRequest;
// - a refused line is refused with `invalidArgument` and the one text the
//   control socket answers for it;
// - an accepted line is a JSON object whose "command" is the command handed
//   on, and that command fits in the error line the socket answers for an
//   unknown command (it is text JSON can carry);
// - blanks and a carriage return after the line (a client ending its lines
//   with CR LF) change nothing;
// - an accepted request written out again decodes to the same request.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/control_request.h"
#include "fuzz_checks.h"

namespace qm::fuzz {
namespace {

/// Deepest nesting of arrays and objects in `json`, walked without recursion.
std::size_t depth(const nlohmann::json& json) {
  std::size_t deepest = 0;
  std::vector<std::pair<const nlohmann::json*, std::size_t>> pending{{&json, 1}};
  while (!pending.empty()) {
    const auto [value, level] = pending.back();
    pending.pop_back();
    if (!value->is_structured()) continue;
    deepest = std::max(deepest, level);
    for (const auto& child : *value) pending.emplace_back(&child, level + 1);
  }
  return deepest;
}

Result<ControlRequest> decode(std::string_view line) {
  try {
    return decodeControlRequest(line);
  } catch (const std::exception& e) {
    fail("an exception escaped decodeControlRequest", e.what());
  }
}

void checkOutcome(const Result<ControlRequest>& request, std::string_view line) {
  if (!request) {
    if (request.error().code != ErrorCode::invalidArgument ||
        (request.error().message != kBadControlRequest &&
         request.error().message != kTooDeepControlRequest)) {
      fail("a line was refused otherwise than as a bad request", request.error().message);
    }
    return;
  }
  const auto& fields = request->fields;
  if (!fields.is_object()) fail("a request that is no JSON object was accepted", line);
  const auto command = fields.find("command");
  if (command == fields.end() || !command->is_string() ||
      command->get_ref<const std::string&>() != request->command) {
    fail("the command handed on is not the request's \"command\" text", line);
  }
  try {
    (void)nlohmann::json{{"ok", false}, {"error", "Unknown command \"" + request->command + "\""}}
        .dump();
  } catch (const std::exception& e) {
    fail("the command cannot be written into an answer", e.what());
  }
}

}  // namespace
}  // namespace qm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qm;
  using namespace qm::fuzz;
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  const auto request = decode(line);
  checkOutcome(request, line);
  // Comparing and writing JSON recurse; very deep requests are left to the
  // checks above.
  const bool shallow = !request || depth(request->fields) <= 256;

  const auto padded = decode(std::string(line) + " \t\r");
  if (padded.ok() != request.ok() || (request && padded->command != request->command) ||
      (request && shallow && padded->fields != request->fields)) {
    fail("blanks after the line change the request", line);
  }
  if (!request || !shallow) return 0;

  const std::string written = request->fields.dump();
  const auto again = decode(written);
  if (!again || again->command != request->command || again->fields != request->fields)
    fail("an accepted request written out decodes otherwise", written);
  return 0;
}
