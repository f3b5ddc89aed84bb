#pragma once

#include <asio.hpp>
#include <future>
#include <optional>
#include <thread>

namespace qm::test {

/// Runs an io_context on a thread of its own until destroyed; `onLoop` runs
/// work on it and waits for the result, so objects of the loop are touched
/// only from the loop.
class LoopThread {
 public:
  explicit LoopThread(asio::io_context& io) : io_(io) {}
  ~LoopThread() { join(); }

  void start() {
    work_.emplace(io_.get_executor());
    thread_ = std::thread([this] { io_.run(); });
  }
  /// Lets the loop run out once its work is done and waits for it.
  void join() {
    work_.reset();
    if (thread_.joinable()) thread_.join();
  }
  bool running() const { return thread_.joinable(); }

  template <class F>
  auto onLoop(F f) {
    std::packaged_task<decltype(f())()> task(std::move(f));
    auto result = task.get_future();
    asio::post(io_, [&task] { task(); });
    return result.get();
  }

 private:
  asio::io_context& io_;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
  std::thread thread_;
};

}  // namespace qm::test
