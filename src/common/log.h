#pragma once

#include <filesystem>
#include <memory>

#include <spdlog/logger.h>

namespace qm::log {

/// The log categories. Each is a named spdlog logger writing to stderr and,
/// once `logToFile` was called, to the companion's log file.
spdlog::logger& data();
spdlog::logger& pairing();
spdlog::logger& sync();
spdlog::logger& mcp();
spdlog::logger& proxy();
/// Sending drafts through the user's mail server.
spdlog::logger& mail();

/// Adds the log file as a second sink for every category.
void logToFile(const std::filesystem::path& file);

/// Sets the lowest level that is written (tests quieten the logs with `warn`).
void setLevel(spdlog::level::level_enum level);

}  // namespace qm::log
