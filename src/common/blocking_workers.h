#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qm {

/// Runs blocking work (a conversation with a server) on threads of its own,
/// one per piece of work, and hands each outcome back on the main loop through
/// `post`, which runs a function there (the companion posts to its
/// io_context). Used from the main loop only; only `post` and the stop flag
/// are touched by the threads.
class BlockingWorkers {
 public:
  using Poster = std::function<void(std::function<void()>)>;
  /// Does the work on its thread, watching `stopping`, and answers what to
  /// run on the main loop with the outcome.
  using Work = std::function<std::function<void()>(const std::atomic<bool>& stopping)>;

  explicit BlockingWorkers(Poster post);
  /// Sets the stop flag and waits for the threads; what they hand back is
  /// not run.
  ~BlockingWorkers();
  BlockingWorkers(const BlockingWorkers&) = delete;
  BlockingWorkers& operator=(const BlockingWorkers&) = delete;

  /// Starts `work` on a thread of its own; nothing when it runs, else why no
  /// thread could be started (then nothing runs).
  std::optional<std::string> start(Work work);
  /// Runs `then` later on the main loop, unless these workers are gone by then.
  void later(std::function<void()> then);

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace qm
