#include "app/cli/companion_restart.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/control_client.h"

namespace qm::cli {

namespace {

/// Whether process `pid` still runs: it exists and has not ended (a process
/// that ended but was not yet reaped by its parent shows state "Z").
bool processRuns(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  // "PID (NAME) STATE …": the name may hold spaces and parentheses.
  const auto nameEnd = line.rfind(')');
  return nameEnd != std::string::npos && nameEnd + 2 < line.size() && line[nameEnd + 2] != 'Z';
}

std::string seconds(std::chrono::milliseconds timeout) {
  return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeout).count());
}

}  // namespace

Result<CompanionLaunch> currentLaunch(const std::filesystem::path& socket) {
  const auto status = QM_TRY(sendControlRequest(socket, {{"command", "status"}}));
  CompanionLaunch launch;
  launch.launchID = status.value("launchID", "");
  launch.pid = status.value("pid", pid_t{0});
  launch.logFile = status.value("logs", "");
  launch.service = status.value("service", false);
  launch.feedSubscribers = status.value("feedSubscribers", std::int64_t{0});
  return launch;
}

Status waitForRestart(const std::filesystem::path& socket, const CompanionLaunch& before,
                      std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const std::string log = " (its log: " + before.logFile + ")";
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto now = currentLaunch(socket); now && now->launchID != before.launchID) return {};
    if (!before.service && !processRuns(before.pid))
      return Error(ErrorCode::unavailable, "Quillmere stopped while restarting" + log +
                                               ". Start it again with: quillmere run");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (before.service)
    return Error(ErrorCode::unavailable,
                 "Quillmere did not come back within " + seconds(timeout) +
                     " seconds of restarting" + log +
                     ". Start it again with: systemctl --user restart quillmere");
  return Error(ErrorCode::unavailable, "Quillmere did not answer within " + seconds(timeout) +
                                           " seconds of restarting" + log +
                                           ". Stop it with: kill " + std::to_string(before.pid) +
                                           ", then start it again with: quillmere run");
}

}  // namespace qm::cli
