#include "search/search_result.h"

namespace qm {

std::string_view searchCategoryName(SearchResultCategory category) {
  switch (category) {
    case SearchResultCategory::contacts:
      return "contacts";
    case SearchResultCategory::companies:
      return "companies";
    case SearchResultCategory::opportunities:
      return "opportunities";
    case SearchResultCategory::drafts:
      return "drafts";
    case SearchResultCategory::events:
      return "events";
  }
  return "contacts";
}

std::string_view searchCategoryTitle(SearchResultCategory category) {
  switch (category) {
    case SearchResultCategory::contacts:
      return "Contacts";
    case SearchResultCategory::companies:
      return "Companies";
    case SearchResultCategory::opportunities:
      return "Opportunities";
    case SearchResultCategory::drafts:
      return "Drafts";
    case SearchResultCategory::events:
      return "Events";
  }
  return "Contacts";
}

bool SearchResult::sameHit(const SearchResult& other) const {
  return category == other.category && primaryText == other.primaryText &&
         secondaryText == other.secondaryText && eventName == other.eventName &&
         score == other.score && navigationIntent == other.navigationIntent;
}

bool sameResults(const SearchResults& a, const SearchResults& b) {
  if (a.size() != b.size()) return false;
  for (auto ia = a.begin(), ib = b.begin(); ia != a.end(); ++ia, ++ib) {
    if (ia->first != ib->first || ia->second.size() != ib->second.size()) return false;
    for (std::size_t i = 0; i < ia->second.size(); ++i)
      if (!ia->second[i].sameHit(ib->second[i])) return false;
  }
  return true;
}

}  // namespace qm
