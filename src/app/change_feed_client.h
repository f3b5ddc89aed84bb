#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "common/result.h"

namespace qm {

/// A client of the running companion's change feed: one connection that sent
/// "subscribe" and reads the event lines that follow. Movable; closing it
/// (or destroying it) ends the subscription.
class ChangeFeedClient {
 public:
  /// Connects and subscribes; returns once the companion accepted, so every
  /// change after this call is reported. `unavailable` when none runs.
  static Result<ChangeFeedClient> subscribe(const std::filesystem::path& socketPath);

  ChangeFeedClient(ChangeFeedClient&& other) noexcept;
  ChangeFeedClient& operator=(ChangeFeedClient&& other) noexcept;
  ~ChangeFeedClient();

  /// The next event, or nothing when none came within `timeout`. Fails
  /// (`unavailable`) once the companion closed the connection.
  Result<std::optional<nlohmann::json>> next(std::chrono::milliseconds timeout);
  void close();

 private:
  explicit ChangeFeedClient(int fd) : fd_(fd) {}
  Result<std::string> readLine(std::chrono::milliseconds timeout);

  int fd_ = -1;
  std::string buffer_;
};

}  // namespace qm
