#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "store/contact_queries.h"
#include "store/store.h"

namespace qm::mcp {

/// search_contacts looks at every contact: a person the assistant asks for is
/// found wherever their last name sorts, in a store of any size.
inline constexpr std::size_t kSearchWindow = std::numeric_limits<std::size_t>::max();

/// What the contact tools search, folded once per contact (`foldForSearch`)
/// and kept between calls, following the store's record change log:
///
/// - search_contacts' window: the first `window` contacts by last name in the
///   user's collation (natural, case-insensitive), equal names in stored
///   order, with their folded full name, company and e-mail. The distinct last
///   names are sorted by a collation key made once per name; the window is
///   read a few hundred contacts at a time, as far as searches have needed
///   (a search stops reading once it has its page of exact matches).
/// - list_contacts' query filter: each listed contact's folded full name and
///   company, folded the first time the contact is listed.
///
/// A written contact is read again and moves in or out of the part of the
/// window read; a burst of writes starts the window again. Confined to one
/// thread, like the store.
class ContactIndex {
 public:
  explicit ContactIndex(std::size_t window);
  ~ContactIndex();
  ContactIndex(const ContactIndex&) = delete;
  ContactIndex& operator=(const ContactIndex&) = delete;

  /// Follows what was written since the last call; on failure the index keeps
  /// what it held and tries again at the next call.
  Status refresh(Store& store);

  /// The positions of the window's contacts whose full name, company or
  /// e-mail holds `query` (not trimmed) once both are folded: those that hold
  /// it exactly (case and composition aside) first, then those that hold it
  /// only with the accents set aside, each in window order; at most `limit`.
  /// Follows the store first, and reads on in the window as far as needed.
  Result<std::vector<Store::Position>> search(Store& store, std::string_view query,
                                              std::size_t limit);

  /// Whether the listed contact's full name or company holds `foldedQuery`
  /// (already folded). `refresh` first, so that written contacts are folded
  /// again.
  bool nameOrCompanyHolds(const ContactListEntry& contact, std::string_view foldedQuery);

 private:
  class NaturalOrder;
  struct Entry {
    std::string key;  ///< the last name's collation key
    Store::Position position = 0;
    std::string folded;  ///< full name, company, e-mail, each ended by a NUL byte
    std::string exact;   ///< the same case-folded only; empty when equal to `folded`
  };

  const std::string& keyOf(const std::string& lastName);
  Entry entryOf(const ContactSearchEntry& contact);
  /// Reads on after the last contact read until the window holds `upTo`
  /// contacts, or every contact of the store.
  Status readMore(Store& store, std::size_t upTo);
  /// Reads the contacts written and moves them in or out of what was read.
  Status follow(Store& store, const std::vector<Store::Position>& written);

  std::size_t windowSize_;
  /// The window as far as it was read: by key, then position.
  std::vector<Entry> window_;
  /// Whether `window_` holds every contact of the store.
  bool exhausted_ = false;
  std::optional<std::int64_t> followed_;

  std::unique_ptr<NaturalOrder> order_;
  /// Collation keys by last name; a key depends on nothing but the name.
  std::unordered_map<std::string, std::string> keys_;
  /// list_contacts' folded full name and company by position.
  std::unordered_map<Store::Position, std::string> listTexts_;
};

}  // namespace qm::mcp
