#include "app/cli/companion_requests.h"

#include <algorithm>
#include <ostream>

#include "app/cli/cli_context.h"
#include "app/control_client.h"

namespace qm::cli {

Result<nlohmann::json> askCompanion(CliContext& context, const nlohmann::json& request,
                                    int& exitCode,
                                    const std::function<void(const nlohmann::json&)>& onProgress) {
  auto answer = sendControlRequest(context.paths.controlSocket(), request, onProgress);
  if (!answer) {
    context.err << answer.error().message << "\n";
    exitCode = answer.error().code == ErrorCode::unavailable ? 3 : 1;
  }
  return answer;
}

std::string progressBar(std::int64_t done, std::int64_t total) {
  const std::int64_t filled = total > 0 ? std::clamp<std::int64_t>(done * 10 / total, 0, 10) : 0;
  return "[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(10 - filled), '-') + "]";
}

}  // namespace qm::cli
