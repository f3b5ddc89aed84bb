#pragma once

// The drafts part of the search index: every follow-up draft, its own texts
// folded once, and the name and company of its contact, found again when the
// draft or its contact changes.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "common/uuid.h"
#include "search/search_text_table.h"
#include "store/store.h"

namespace qm {

class IndexedContacts;

/// One draft as the index keeps it.
struct IndexedDraft {
  Uuid id;
  std::string subject;
  std::optional<Uuid> contactID;
  std::string ownTexts;                      ///< subject and body, folded (`SearchTextTable::pack`)
  std::string contactTexts;                  ///< its contact's name and company, folded
  std::optional<std::string> secondaryText;  ///< "To: name"
  std::optional<Uuid> eventID;               ///< its contact's event
};

class IndexedDrafts {
 public:
  /// Reads every draft.
  Status readAll(Store& store, const IndexedContacts& contacts);
  /// Re-reads the drafts at the positions written, and finds again the
  /// contact of the drafts of the contacts in `changedContacts`. Changes
  /// nothing when a read fails.
  Status update(Store& store, const std::vector<Store::Position>& drafts,
                const std::vector<Uuid>& changedContacts, const IndexedContacts& contacts);

  /// Every draft, record by record in stored order.
  const SearchTextTable& table() const { return table_; }
  const IndexedDraft& at(std::size_t record) const { return *order_[record]; }
  /// The records of the drafts of `contact`, in stored order; nothing when it has none.
  const std::vector<std::size_t>* ofContact(const Uuid& contact) const;
  /// How many drafts have been read, for tests and logs.
  std::int64_t reads() const { return reads_; }

 private:
  void resolve(IndexedDraft& draft, const IndexedContacts& contacts);
  void layOut();

  std::map<Store::Position, IndexedDraft> drafts_;
  std::vector<const IndexedDraft*> order_;
  std::unordered_map<Uuid, std::vector<std::size_t>> ofContact_;
  SearchTextTable table_;
  std::int64_t reads_ = 0;
};

}  // namespace qm
