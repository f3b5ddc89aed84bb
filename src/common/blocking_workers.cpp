#include "common/blocking_workers.h"

#include <cstdint>
#include <map>
#include <system_error>
#include <thread>
#include <utility>

namespace qm {

struct BlockingWorkers::Shared {
  Poster post;
  std::atomic<bool> stopping{false};
  bool closed = false;
  std::uint64_t nextWorker = 0;
  std::map<std::uint64_t, std::thread> workers;
};

BlockingWorkers::BlockingWorkers(Poster post) : shared_(std::make_shared<Shared>()) {
  shared_->post = std::move(post);
}

BlockingWorkers::~BlockingWorkers() {
  shared_->stopping = true;
  shared_->closed = true;
  for (auto& [id, worker] : shared_->workers) worker.join();
  shared_->workers.clear();
}

std::optional<std::string> BlockingWorkers::start(Work work) {
  const std::uint64_t id = shared_->nextWorker++;
  auto task = [shared = shared_, id, work = std::move(work)] {
    std::function<void()> then = work(shared->stopping);
    shared->post([shared, id, then = std::move(then)] {
      if (shared->closed) return;
      if (auto worker = shared->workers.find(id); worker != shared->workers.end()) {
        worker->second.join();  // it has posted this and is about to end
        shared->workers.erase(worker);
      }
      then();
    });
  };
  try {
    shared_->workers.emplace(id, std::thread(std::move(task)));
  } catch (const std::system_error& error) {
    return std::string(error.what());
  }
  return std::nullopt;
}

void BlockingWorkers::later(std::function<void()> then) {
  shared_->post([shared = shared_, then = std::move(then)] {
    if (!shared->closed) then();
  });
}

}  // namespace qm
