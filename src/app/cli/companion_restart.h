#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/result.h"

namespace qm::cli {

/// The running companion as a command that makes it restart sees it first.
struct CompanionLaunch {
  std::string launchID;  ///< new at every start, re-executions included
  pid_t pid = 0;
  std::string logFile;
  /// Started by the `quillmere` user service, which starts it again when it stops.
  bool service = false;
  /// Clients following its changes (an open window among them).
  std::int64_t feedSubscribers = 0;
};

/// The running companion's launch, asked over `socket`.
Result<CompanionLaunch> currentLaunch(const std::filesystem::path& socket);

/// Waits until the companion on `socket` answers again as a launch other than
/// `before`. When it does not, the error (unavailable) says what happened and
/// the command that starts it again: at once when its process has ended and no
/// service starts it again, otherwise after `timeout`.
Status waitForRestart(const std::filesystem::path& socket, const CompanionLaunch& before,
                      std::chrono::milliseconds timeout);

}  // namespace qm::cli
