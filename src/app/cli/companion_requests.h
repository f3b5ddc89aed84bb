#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "common/result.h"

namespace qm::cli {

struct CliContext;

/// Sends `request` to the running companion; on failure prints the one line
/// and sets `exitCode` (3 when the companion is not running, else 1).
Result<nlohmann::json> askCompanion(
    CliContext& context, const nlohmann::json& request, int& exitCode,
    const std::function<void(const nlohmann::json&)>& onProgress = {});

/// "[######----]": `done` of `total` in ten steps.
std::string progressBar(std::int64_t done, std::int64_t total);

}  // namespace qm::cli
