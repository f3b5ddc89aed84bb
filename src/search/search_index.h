#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"
#include "common/uuid.h"
#include "search/search_result.h"

namespace qm {

class Store;

/// The searchable texts of the whole store, folded once (`searchForms`) and
/// kept in memory, so that a search over tens of thousands of contacts takes
/// milliseconds.
///
/// Each category keeps its texts in contiguous blocks, grouped by event (an
/// event's contacts in chunks of a few hundred); a search looks for its longest
/// word, folded, through the blocks (a few megabytes a millisecond) and scores
/// only the records where it occurs, with the same rule and in the same order
/// as `referenceSearch`, so the results are the same.
///
/// `refresh` follows the store's record change log (`recordChangesSince`),
/// whoever wrote: it re-reads only the contacts, notes and drafts written since
/// and lays out again only the chunks that hold them (a new note re-reads that
/// note), and re-reads all events or all opportunities when one of them was
/// written. Confined to one thread, like the store.
class SearchIndex {
 public:
  /// `locale` formats opportunity values (an ICU locale name; empty: the user's).
  explicit SearchIndex(std::string locale = {});
  ~SearchIndex();
  SearchIndex(const SearchIndex&) = delete;
  SearchIndex& operator=(const SearchIndex&) = delete;

  /// Brings the index up to date with `store`. On failure the index keeps
  /// what it held and tries again at the next call.
  Status refresh(Store& store);

  /// Searches what the index holds (see `referenceSearch` for the meaning).
  /// `keepGoing` is asked before each event visited and before returning;
  /// when it says no the search stops and returns nothing.
  std::optional<SearchResults> search(std::string_view query,
                                      const std::optional<Uuid>& scopedEvent,
                                      const std::function<bool()>& keepGoing = {}) const;

  /// How many records of each kind have been read, for tests and logs.
  struct ReadCounts {
    std::int64_t events = 0, contacts = 0, notes = 0, opportunities = 0, drafts = 0;
  };
  ReadCounts readCounts() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qm
