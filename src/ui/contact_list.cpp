#include "ui/contact_list.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>

#include "common/search_folding.h"
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

bool passesFilters(const ListContact& c, const std::unordered_set<Uuid>& contactsWithNotes,
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

/// What the contacts are ordered by, worked out once per list: numbers per
/// row, and texts (collation keys, or names for tier ties) packed in one
/// buffer so that keying 10,000 contacts makes no allocation per contact.
struct SortKeys {
  struct Row {
    std::int64_t number = 0;
    double decimal = 0;
  };
  std::vector<Row> rows;
  std::string texts;
  std::vector<std::uint32_t> textEnds;

  std::string_view text(std::uint32_t i) const {
    const std::uint32_t begin = i == 0 ? 0 : textEnds[i - 1];
    return std::string_view(texts).substr(begin, textEnds[i] - begin);
  }
};

/// `fullName()` into `buffer`, without allocating once the buffer has grown.
std::string_view fullNameInto(const ListContact& c, std::string& buffer) {
  buffer.assign(c.firstName);
  buffer += ' ';
  buffer += c.lastName;
  return trimUnicodeWhitespace(buffer);
}

}  // namespace

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

namespace {

std::vector<const ListContact*> inListOrder(std::vector<const ListContact*> shown,
                                            const ContactListState& state) {
  const NameCollator& collator = NameCollator::forThisThread();
  using F = ContactSortField;
  constexpr auto kNoRank = std::numeric_limits<std::int64_t>::max();
  const F field = state.sortField;
  const bool keyedText = field == F::name || field == F::company || field == F::title ||
                         field == F::tier || field == F::targetsFirst;
  SortKeys keys;
  keys.rows.resize(shown.size());
  if (keyedText) {
    keys.textEnds.reserve(shown.size());
    keys.texts.reserve(shown.size() * 24);
  }
  std::string name;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const ListContact& c = *shown[i];
    SortKeys::Row& row = keys.rows[i];
    switch (field) {
      case F::name:
        collator.appendSortKey(fullNameInto(c, name), keys.texts);
        break;
      case F::company:
        collator.appendSortKey(c.company, keys.texts);
        break;
      case F::title:
        collator.appendSortKey(c.title ? std::string_view(*c.title) : std::string_view(),
                               keys.texts);
        break;
      case F::tier:
        row.number = tierRank(c.tier);
        keys.texts += fullNameInto(c, name);  // UTF-8 bytes order as code points
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
        collator.appendSortKey(fullNameInto(c, name), keys.texts);
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
    if (keyedText) keys.textEnds.push_back(static_cast<std::uint32_t>(keys.texts.size()));
  }

  auto before = [&](std::uint32_t i, std::uint32_t j) {
    const SortKeys::Row& a = keys.rows[i];
    const SortKeys::Row& b = keys.rows[j];
    switch (field) {
      case F::name:
      case F::company:
      case F::title:
        return keys.text(i) < keys.text(j);
      case F::tier:
        return a.number != b.number ? a.number < b.number : keys.text(i) < keys.text(j);
      case F::score:
        return a.decimal > b.decimal;
      case F::status:
        return a.number < b.number;
      case F::targetsFirst:
        if (a.decimal != b.decimal) return a.decimal < b.decimal;
        if (a.number != b.number) return a.number < b.number;
        return keys.text(i) < keys.text(j);
      case F::recentlyMet:
      case F::highestRated:
        return a.number > b.number;
      case F::lowestRated:
        return a.decimal != b.decimal ? a.decimal < b.decimal : a.number < b.number;
    }
    return false;
  };
  std::vector<std::uint32_t> order(shown.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  if (state.sortAscending)
    std::stable_sort(order.begin(), order.end(), before);
  else
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t i, std::uint32_t j) { return before(j, i); });

  std::vector<const ListContact*> out;
  out.reserve(order.size());
  for (std::uint32_t i : order) out.push_back(shown[i]);
  return out;
}

}  // namespace

std::vector<const ListContact*> visibleContacts(std::span<const ListContact> eventContacts,
                                                const std::unordered_set<Uuid>& contactsWithNotes,
                                                const ContactListState& state) {
  // One list: only the contacts the filters keep are folded.
  const std::string query = foldForSearch(state.searchText);
  std::vector<const ListContact*> shown;
  shown.reserve(eventContacts.size());
  for (const ListContact& c : eventContacts) {
    if (!passesFilters(c, contactsWithNotes, state)) continue;
    if (!query.empty() && !ContactSearchTexts::holds(c, query)) continue;
    shown.push_back(&c);
  }
  return inListOrder(std::move(shown), state);
}

std::vector<const ListContact*> visibleContacts(std::span<const ListContact> eventContacts,
                                                const ContactSearchTexts& searchTexts,
                                                const std::unordered_set<Uuid>& contactsWithNotes,
                                                const ContactListState& state) {
  // Texts made for other contacts (a caller's mistake) are not used.
  if (searchTexts.size() != eventContacts.size() && !state.searchText.empty())
    return visibleContacts(eventContacts, contactsWithNotes, state);
  std::vector<bool> found;
  if (!state.searchText.empty()) found = searchTexts.matching(state.searchText);
  std::vector<const ListContact*> shown;
  shown.reserve(eventContacts.size());
  for (std::size_t i = 0; i < eventContacts.size(); ++i) {
    const ListContact& c = eventContacts[i];
    if (!found.empty() && !found[i]) continue;
    if (!passesFilters(c, contactsWithNotes, state)) continue;
    shown.push_back(&c);
  }
  return inListOrder(std::move(shown), state);
}

}  // namespace qm
