#pragma once

// Questions about many contacts that the store answers from indexes of its own
// instead of reading the contacts: an event's figures, an event's contacts in
// list order, every contact by last name. Each costs about as much as the
// index entries it steps over, never a whole contact per contact.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "common/uuid.h"
#include "store/store.h"

namespace qm {

/// The SQL that creates the indexes these queries read. `Store::open` runs it,
/// so a store made by an earlier build gains them on its first open; SQLite
/// keeps them up to date for every writer of the file.
std::string contactQueryIndexSQL();

/// The ids of the notes of each contact of an event, by contact id; contacts
/// without notes are left out.
Result<std::unordered_map<Uuid, std::vector<Uuid>>> noteIDsOfEvent(Store& store,
                                                                   const Uuid& eventID);

/// Where the notes of an event's contacts are, in stored order: one query for
/// every note, to read with `Store::fetchOnlyAt` rather than a query per contact.
Result<std::vector<Store::Position>> notePositionsOfEvent(Store& store, const Uuid& eventID);

/// How many contacts an event has, how many of them were met and how many are
/// targets.
struct EventContactCounts {
  std::int64_t contacts = 0;
  std::int64_t met = 0;
  std::int64_t targets = 0;
};
Result<EventContactCounts> countContactsOfEvent(Store& store, const Uuid& eventID);

/// An event's contacts with an interaction rating and the sum of those ratings.
struct EventRatings {
  std::int64_t rated = 0;
  std::int64_t sum = 0;
};
Result<EventRatings> ratingsOfEvent(Store& store, const Uuid& eventID);

/// How many different companies an event's contacts are from, as
/// `Contact::displayCompany` names them: an empty company counts as
/// "Unknown Company".
Result<std::int64_t> countCompaniesOfEvent(Store& store, const Uuid& eventID);

/// One contact as the list order index holds it. The texts are valid only
/// during the call that receives them.
struct ContactListEntry {
  Store::Position position = 0;
  std::string_view firstName;
  std::string_view lastName;
  std::string_view company;
};

/// Conditions on the listed contacts that the index answers itself.
struct ContactListFilter {
  std::optional<std::string> status;  ///< raw text of a `MeetingStatus`
  std::optional<bool> isTarget;
};

/// Hands the event's contacts that match `filter` and that `keep` accepts to
/// `visit`, in list order: ranked ones by rank, unranked ones after them, equal
/// ranks by full name (code-point order), equal names in stored order. Stops
/// when `visit` returns false. `keep` sees every contact matching `filter`
/// (in index order), so it should be cheap.
Status visitContactsInListOrder(Store& store, const Uuid& eventID, const ContactListFilter& filter,
                                const std::function<bool(const ContactListEntry&)>& keep,
                                const std::function<bool(const ContactListEntry&)>& visit);

/// Every last name the contacts have, once each, in code-point order.
Result<std::vector<std::string>> distinctLastNames(Store& store);

/// A contact with the texts search looks at.
struct ContactSearchEntry {
  Store::Position position = 0;
  std::string firstName;
  std::string lastName;
  std::string company;
  std::optional<std::string> email;
};

/// The first `limit` contacts whose last name is exactly `lastName`, in stored
/// order, from the one after position `after` on.
Result<std::vector<ContactSearchEntry>> contactsWithLastName(Store& store,
                                                             std::string_view lastName,
                                                             std::size_t limit,
                                                             Store::Position after = 0);

}  // namespace qm
