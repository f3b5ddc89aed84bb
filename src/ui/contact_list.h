#pragma once

#include <array>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/enum_info.h"
#include "common/uuid.h"
#include "ui/contact_search_texts.h"
#include "ui/list_contact.h"

namespace qm {

/// The orderings of the contacts list; the label is also the raw text.
enum class ContactSortField {
  name,
  company,
  tier,
  score,
  status,
  targetsFirst,
  recentlyMet,
  highestRated,
  lowestRated,
  title
};

template <>
struct EnumInfo<ContactSortField> {
  using E = ContactSortField;
  static constexpr std::array<EnumCase<E>, 10> cases{{
      {E::name, "Name", "Name"},
      {E::company, "Company", "Company"},
      {E::tier, "Tier", "Tier"},
      {E::score, "Score", "Score"},
      {E::status, "Status", "Status"},
      {E::targetsFirst, "Targets First", "Targets First"},
      {E::recentlyMet, "Recently Met", "Recently Met"},
      {E::highestRated, "Highest Rated", "Highest Rated"},
      {E::lowestRated, "Lowest Rated", "Lowest Rated"},
      {E::title, "Title", "Title"},
  }};
};

/// What one contacts list shows: the seven filter chips, the search text, the
/// ordering with its direction, and the selection. A list starts from these
/// values each time it is shown.
struct ContactListState {
  ContactSortField sortField = ContactSortField::name;
  bool sortAscending = true;
  bool filterFavorites = false;
  bool filterTargets = false;
  bool filterMet = false;
  bool filterNotMet = false;
  bool filterFollowUp = false;
  bool filterNotes = false;
  bool filterTeamMet = false;
  std::string searchText;
  std::set<Uuid> selection;

  /// Turns all seven chips off (the chip bar's "Clear").
  void clearFilters();
  bool anyFilter() const;
};

/// One chip of the chip bar, in the order the bar shows them.
struct FilterChip {
  std::string_view label;
  std::string_view icon;
  bool ContactListState::*state;
};
extern const std::array<FilterChip, 7> kFilterChips;

/// The contacts an event's list shows, in order. `eventContacts` are the
/// event's contacts in stored order (empty for a deleted event);
/// `searchTexts` their folded texts (`ContactSearchTexts` of the same
/// contacts, made once when they were read); `contactsWithNotes` the ids of
/// those with at least one note.
///
/// Filters that are on all apply; then the search: the search text (not
/// trimmed), folded like every search (`foldForSearch`: case, composition and
/// accents set aside, so "muller" finds Müller), must be part of the folded
/// full name, company, title or e-mail. Then the ordering, reversed when
/// `sortAscending` is false; the search does not reorder. The sort is stable
/// in both directions: contacts that compare equal keep their stored order, so
/// the list never reshuffles between refreshes. Names and companies compare
/// with `NameCollator` (keys made once per call).
std::vector<const ListContact*> visibleContacts(std::span<const ListContact> eventContacts,
                                                const ContactSearchTexts& searchTexts,
                                                const std::unordered_set<Uuid>& contactsWithNotes,
                                                const ContactListState& state);
/// The same for one call, folding the contacts' texts here when there is a
/// search text (the command line, which lists once).
std::vector<const ListContact*> visibleContacts(std::span<const ListContact> eventContacts,
                                                const std::unordered_set<Uuid>& contactsWithNotes,
                                                const ContactListState& state);

/// Whether `contact` passes the filters that are on (not the search).
bool passesFilters(const ListContact& contact, const std::unordered_set<Uuid>& contactsWithNotes,
                   const ContactListState& state);

/// 0 for tier "A", 1 for "B", 2 for "C" (any letter case), 3 for any other or no tier.
int tierRank(const std::optional<std::string>& tier);

}  // namespace qm
