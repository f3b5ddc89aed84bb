#include "search/global_search_engine.h"

#include <spdlog/logger.h>

#include "common/log.h"
#include "search/search_scoring.h"
#include "store/store.h"

namespace qm {

GlobalSearchEngine::GlobalSearchEngine(Store& store, SearchScheduler schedule, std::string locale)
    : store_(store),
      schedule_(std::move(schedule)),
      index_(std::move(locale)),
      self_(std::make_shared<GlobalSearchEngine*>(this)) {}

GlobalSearchEngine::~GlobalSearchEngine() = default;

void GlobalSearchEngine::cancel() {
  pending_.reset();
  if (isSearching_) {
    isSearching_ = false;
    changed_.emit();
  }
}

void GlobalSearchEngine::search(std::string_view query, const std::optional<Uuid>& scopedEvent) {
  pending_.reset();
  if (!isSearchableQuery(query)) {
    results_.clear();
    isSearching_ = false;
    changed_.emit();
    return;
  }
  const std::uint64_t generation = ++generation_;
  pending_ = Pending{generation, std::string(query), scopedEvent};
  isSearching_ = true;
  changed_.emit();
  std::weak_ptr<GlobalSearchEngine*> weak = self_;
  schedule_(kDebounce, [weak, generation] {
    if (auto self = weak.lock()) (*self)->run(generation);
  });
}

void GlobalSearchEngine::run(std::uint64_t generation) {
  if (!isCurrent(generation)) return;
  if (Status fresh = index_.refresh(store_); !fresh) {
    // The index keeps what it last read; searching that beats showing nothing.
    log::data().error("Search could not read the store: {}", fresh.error().message);
  }
  if (!isCurrent(generation)) return;
  const Pending task = *pending_;
  auto found = index_.search(task.query, task.scopedEvent,
                             [this, generation] { return isCurrent(generation); });
  if (!found || !isCurrent(generation)) return;
  pending_.reset();
  results_ = std::move(*found);
  isSearching_ = false;
  changed_.emit();
}

}  // namespace qm
