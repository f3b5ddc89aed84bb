#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include <nlohmann/json_fwd.hpp>

#include "common/result.h"

namespace qm {

/// Whether a companion answers on `socketPath`.
bool companionIsRunning(const std::filesystem::path& socketPath);

/// Sends one request to the running companion and waits for its final answer;
/// progress lines go to `onProgress`. Errors: the companion is not running
/// (`unavailable`, with `kNotRunningText`), the connection broke (`internal`),
/// or the companion answered {"ok": false, "error": ...} (`failedPrecondition`).
Result<nlohmann::json> sendControlRequest(
    const std::filesystem::path& socketPath, const nlohmann::json& request,
    const std::function<void(const nlohmann::json&)>& onProgress = {});

/// The text of the error when no companion answers.
inline constexpr const char* kNotRunningText = "Quillmere is not running.";

}  // namespace qm
