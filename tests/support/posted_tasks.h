#pragma once

// A stand-in for the companion's main loop where services post work from other
// threads (a snapshot's ingest): tasks wait here until the test's own thread,
// playing the loop, runs them.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace qm::test {

class PostedTasks {
 public:
  /// What a service posts through; callable from any thread.
  std::function<void(std::function<void()>)> poster() {
    return [this](std::function<void()> task) {
      {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
      }
      posted_.notify_one();
    };
  }

  /// Runs the next task posted, waiting up to `limit` for one; false when none came.
  bool runNext(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      if (!posted_.wait_for(lock, limit, [&] { return !tasks_.empty(); })) return false;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    return true;
  }

  /// Runs posted tasks until `done()` holds; false when a wait for the next one
  /// ran past `limit`.
  template <class Done>
  bool runUntil(Done&& done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    while (!done()) {
      if (!runNext(limit)) return false;
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

}  // namespace qm::test
