#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/uuid.h"

namespace qm {

/// The groups of the search results, in the order they are shown.
enum class SearchResultCategory { contacts, companies, opportunities, drafts, events };

/// The raw value ("contacts", …) and the title a group shows ("Contacts", …).
std::string_view searchCategoryName(SearchResultCategory category);
std::string_view searchCategoryTitle(SearchResultCategory category);

/// Where the user interface goes when a hit is chosen.
struct NavigateToContact {
  Uuid eventID;
  Uuid contactID;
  friend bool operator==(const NavigateToContact&, const NavigateToContact&) = default;
};
struct NavigateToCompany {
  Uuid eventID;
  std::string companyName;
  friend bool operator==(const NavigateToCompany&, const NavigateToCompany&) = default;
};
struct NavigateToOpportunity {
  Uuid eventID;
  Uuid opportunityID;
  friend bool operator==(const NavigateToOpportunity&, const NavigateToOpportunity&) = default;
};
struct NavigateToDraft {
  Uuid draftID;
  friend bool operator==(const NavigateToDraft&, const NavigateToDraft&) = default;
};
struct NavigateToEvent {
  Uuid eventID;
  friend bool operator==(const NavigateToEvent&, const NavigateToEvent&) = default;
};
using NavigationIntent = std::variant<NavigateToContact, NavigateToCompany, NavigateToOpportunity,
                                      NavigateToDraft, NavigateToEvent>;

/// One hit. `id` is fresh for every result; `eventName` is set only in global
/// searches (never on events), so a list can show the event beside the hit.
struct SearchResult {
  Uuid id;
  SearchResultCategory category = SearchResultCategory::contacts;
  std::string primaryText;
  std::optional<std::string> secondaryText;
  std::optional<std::string> eventName;
  double score = 0;
  NavigationIntent navigationIntent;

  /// Equal in everything but the fresh `id`.
  bool sameHit(const SearchResult& other) const;
};

/// The hits by category, each list by score, highest first. A global search
/// fills all five categories (possibly with empty lists); a search scoped to
/// one event has no `events` entry; a query without words gives no entries.
using SearchResults = std::map<SearchResultCategory, std::vector<SearchResult>>;

/// Equal category by category and hit by hit, ignoring the fresh ids.
bool sameResults(const SearchResults& a, const SearchResults& b);

}  // namespace qm
