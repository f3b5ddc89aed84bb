#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/signal.h"
#include "common/uuid.h"
#include "search/search_index.h"
#include "search/search_result.h"

namespace qm {

class Store;

/// Runs `task` on the main loop after `delay` (the same shape as the sync
/// service's scheduler, so the companion passes one timer source to both).
/// Injected so that tests need not wait.
using SearchScheduler =
    std::function<void(std::chrono::milliseconds delay, std::function<void()> task)>;

/// The search field of the desktop window: as the user types, `search` starts
/// a new search and cancels the one before; after 0.1 s without a newer query
/// the engine brings its index up to date with the store, searches it and
/// publishes `results`. Observers follow `changed()`. Main thread only.
///
/// States: idle (`isSearching` false) → waiting (a task scheduled) → idle with
/// new results. A query shorter than two characters clears the results at
/// once. A task that was cancelled, or that outlives the engine, does nothing.
class GlobalSearchEngine {
 public:
  static constexpr std::chrono::milliseconds kDebounce{100};

  /// `locale` formats opportunity values (an ICU locale name; empty: the user's).
  GlobalSearchEngine(Store& store, SearchScheduler schedule, std::string locale = {});
  ~GlobalSearchEngine();
  GlobalSearchEngine(const GlobalSearchEngine&) = delete;
  GlobalSearchEngine& operator=(const GlobalSearchEngine&) = delete;

  /// Starts a search of all events, or of `scopedEvent` alone.
  void search(std::string_view query, const std::optional<Uuid>& scopedEvent = std::nullopt);
  /// Cancels the waiting search, if any, leaving the results as they are.
  void cancel();

  const SearchResults& results() const { return results_; }
  bool isSearching() const { return isSearching_; }
  /// Whether a search task is waiting to run.
  bool hasSearchTask() const { return pending_.has_value(); }
  /// Fires after `results` or `isSearching` changed.
  Signal<>& changed() { return changed_; }

  /// The index the engine searches, for its read counts.
  const SearchIndex& index() const { return index_; }

 private:
  struct Pending {
    std::uint64_t generation;
    std::string query;
    std::optional<Uuid> scopedEvent;
  };
  void run(std::uint64_t generation);
  bool isCurrent(std::uint64_t generation) const {
    return pending_ && pending_->generation == generation;
  }

  Store& store_;
  SearchScheduler schedule_;
  SearchIndex index_;
  SearchResults results_;
  bool isSearching_ = false;
  std::optional<Pending> pending_;
  std::uint64_t generation_ = 0;
  Signal<> changed_;
  /// Held weakly by scheduled tasks: gone when the engine is.
  std::shared_ptr<GlobalSearchEngine*> self_;
};

}  // namespace qm
