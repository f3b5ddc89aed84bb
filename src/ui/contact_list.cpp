#include "ui/contact_list.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>

#include "common/text.h"
#include "ui/name_collator.h"

namespace qm {

const std::array<FilterChip, 7> kFilterChips{{
    {"Favorites", "star", &ContactListState::filterFavorites},
    {"Targets", "scope", &ContactListState::filterTargets},
    {"Met", "checkmark.circle", &ContactListState::filterMet},
    {"Not Met", "circle", &ContactListState::filterNotMet},
    {"Follow-Up", "bell", &ContactListState::filterFollowUp},
    {"Team Met", "person.2", &ContactListState::filterTeamMet},
    {"Notes", "note.text", &ContactListState::filterNotes},
}};

void ContactListState::clearFilters() {
  for (const auto& chip : kFilterChips) this->*chip.state = false;
}

bool ContactListState::anyFilter() const {
  return std::any_of(kFilterChips.begin(), kFilterChips.end(),
                     [this](const FilterChip& chip) { return this->*chip.state; });
}

bool passesFilters(const Contact& c, const std::unordered_set<Uuid>& contactsWithNotes,
                   const ContactListState& s) {
  const bool met = c.status == MeetingStatus::met;
  if (s.filterFavorites && !c.isFavorite) return false;
  if (s.filterTargets && !c.isTarget) return false;
  if (s.filterMet && !(met || !c.alsoMetBy.empty())) return false;
  if (s.filterNotMet && !(c.status == MeetingStatus::notMet && c.alsoMetBy.empty())) return false;
  if (s.filterFollowUp &&
      !(met && c.interactionRating && *c.interactionRating >= 3 && !c.actionPlanEditedByUser))
    return false;
  if (s.filterNotes && !contactsWithNotes.contains(c.id)) return false;
  if (s.filterTeamMet && c.meetingIndicator() != MeetingIndicator::metByTeammate) return false;
  return true;
}

namespace {

bool lowerContains(std::string_view text, std::string_view loweredQuery) {
  return lowercaseUnicode(text).find(loweredQuery) != std::string::npos;
}

bool matchesLowered(const Contact& c, std::string_view q) {
  return lowerContains(c.fullName(), q) || lowerContains(c.company, q) ||
         (c.title && lowerContains(*c.title, q)) || (c.email && lowerContains(*c.email, q));
}

int statusOrder(MeetingStatus status) {
  switch (status) {
    case MeetingStatus::met:
      return 0;
    case MeetingStatus::notMet:
      return 1;
    case MeetingStatus::declined:
      return 2;
    case MeetingStatus::noShow:
      return 3;
  }
  return 4;
}

/// What one contact is ordered by, worked out once per list.
struct SortRow {
  const Contact* contact;
  std::string text;  // collation key, or the full name for tier ties
  std::int64_t number = 0;
  double decimal = 0;
};

}  // namespace

bool matchesSearch(const Contact& contact, std::string_view searchText) {
  if (searchText.empty()) return true;
  return matchesLowered(contact, lowercaseUnicode(searchText));
}

int tierRank(const std::optional<std::string>& tier) {
  if (!tier || tier->size() != 1) return 3;
  switch ((*tier)[0]) {
    case 'A':
    case 'a':
      return 0;
    case 'B':
    case 'b':
      return 1;
    case 'C':
    case 'c':
      return 2;
    default:
      return 3;
  }
}

std::vector<const Contact*> visibleContacts(std::span<const Contact> eventContacts,
                                            const std::unordered_set<Uuid>& contactsWithNotes,
                                            const ContactListState& state) {
  const std::string query = lowercaseUnicode(state.searchText);
  std::vector<SortRow> rows;
  rows.reserve(eventContacts.size());
  for (const Contact& c : eventContacts) {
    if (!passesFilters(c, contactsWithNotes, state)) continue;
    if (!query.empty() && !matchesLowered(c, query)) continue;
    rows.push_back({&c, {}});
  }

  const NameCollator& collator = NameCollator::forThisThread();
  using F = ContactSortField;
  constexpr auto kNoRank = std::numeric_limits<std::int64_t>::max();
  for (SortRow& row : rows) {
    const Contact& c = *row.contact;
    switch (state.sortField) {
      case F::name:
        row.text = collator.sortKey(c.fullName());
        break;
      case F::company:
        row.text = collator.sortKey(c.company);
        break;
      case F::tier:
        row.number = tierRank(c.tier);
        row.text = c.fullName();  // UTF-8 bytes order as code points
        break;
      case F::score:
        row.decimal = c.overallScore.value_or(0);
        break;
      case F::status:
        row.number = statusOrder(c.status);
        break;
      case F::targetsFirst:
        // Targets by rank (none counts as the largest), then everyone by name.
        row.number = c.isTarget ? c.rank.value_or(kNoRank) : kNoRank;
        row.decimal = c.isTarget ? 0 : 1;
        row.text = collator.sortKey(c.fullName());
        break;
      case F::recentlyMet:
        row.number = c.metAt ? unixMicros(*c.metAt) : std::numeric_limits<std::int64_t>::min();
        break;
      case F::highestRated:
        row.number = c.interactionRating.value_or(0);
        break;
      case F::lowestRated:
        row.number = c.interactionRating.value_or(0);
        row.decimal = c.interactionRating ? 0 : 1;  // unrated last
        break;
    }
  }

  auto before = [field = state.sortField](const SortRow& a, const SortRow& b) {
    switch (field) {
      case F::name:
      case F::company:
        return a.text < b.text;
      case F::tier:
        return a.number != b.number ? a.number < b.number : a.text < b.text;
      case F::score:
        return a.decimal > b.decimal;
      case F::status:
        return a.number < b.number;
      case F::targetsFirst:
        if (a.decimal != b.decimal) return a.decimal < b.decimal;
        if (a.number != b.number) return a.number < b.number;
        return a.text < b.text;
      case F::recentlyMet:
      case F::highestRated:
        return a.number > b.number;
      case F::lowestRated:
        return a.decimal != b.decimal ? a.decimal < b.decimal : a.number < b.number;
    }
    return false;
  };
  if (state.sortAscending)
    std::stable_sort(rows.begin(), rows.end(), before);
  else
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const SortRow& a, const SortRow& b) { return before(b, a); });

  std::vector<const Contact*> out;
  out.reserve(rows.size());
  for (const SortRow& row : rows) out.push_back(row.contact);
  return out;
}

}  // namespace qm
