#include "search/reference_search.h"

#include <algorithm>
#include <unordered_map>

#include "search/search_fields.h"
#include "search/search_hit_texts.h"
#include "search/search_scoring.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm {

namespace {

using Category = SearchResultCategory;

void sortByScore(std::vector<SearchResult>& hits) {
  std::stable_sort(hits.begin(), hits.end(),
                   [](const SearchResult& a, const SearchResult& b) { return a.score > b.score; });
}

SearchResult hit(Category category, std::string primary, std::optional<std::string> secondary,
                 std::optional<std::string> eventName, double score, NavigationIntent target) {
  return {Uuid::random(),       category, std::move(primary), std::move(secondary),
          std::move(eventName), score,    std::move(target)};
}

}  // namespace

Result<SearchResults> referenceSearch(Store& store, std::string_view query,
                                      const std::optional<Uuid>& scopedEvent,
                                      std::string_view locale) {
  const std::vector<SearchToken> tokens = searchTokens(query);
  if (tokens.empty()) return SearchResults{};
  const bool global = !scopedEvent;

  std::vector<Event> events;
  if (global) {
    events = QM_TRY(store.fetch<Event>());
  } else if (auto event = QM_TRY(store.find<Event>(*scopedEvent))) {
    events.push_back(std::move(*event));
  }
  auto nameIn = [&](const Event& e) { return global ? std::optional(e.name) : std::nullopt; };

  SearchResults results;
  auto& contacts = results[Category::contacts];
  auto& companies = results[Category::companies];
  auto& opportunities = results[Category::opportunities];
  auto& drafts = results[Category::drafts];

  for (const Event& e : events) {
    for (const Contact& c : QM_TRY(contactsOf(store, e.id))) {
      const auto notes = QM_TRY(notesOf(store, c.id));
      if (auto score = scoreRecord(contactSearchFields(c, notes), tokens))
        contacts.push_back(hit(Category::contacts, c.fullName(), contactSecondaryText(c), nameIn(e),
                               *score, NavigateToContact{e.id, c.id}));
    }
  }
  sortByScore(contacts);

  for (const Event& e : events) {
    const auto members = QM_TRY(contactsOf(store, e.id));
    std::vector<const Contact*> pointers;
    for (const Contact& c : members) pointers.push_back(&c);
    for (const CompanyGroup& g : groupCompanies(pointers)) {
      if (auto score = scoreRecord(companySearchFields(g), tokens))
        companies.push_back(hit(Category::companies, g.name,
                                companySecondaryText(g.contacts, g.industry), nameIn(e), *score,
                                NavigateToCompany{e.id, g.name}));
    }
  }
  sortByScore(companies);

  for (const Event& e : events) {
    for (const Opportunity& o : QM_TRY(opportunitiesOf(store, e.id))) {
      if (auto score = scoreRecord(opportunitySearchFields(o), tokens))
        opportunities.push_back(hit(Category::opportunities, o.title,
                                    opportunitySecondaryText(o, locale), nameIn(e), *score,
                                    NavigateToOpportunity{e.id, o.id}));
    }
  }
  sortByScore(opportunities);

  std::vector<FollowUpDraft> candidates;
  if (global) {
    candidates = QM_TRY(store.fetch<FollowUpDraft>());
  } else {
    for (const Contact& c : QM_TRY(contactsOf(store, *scopedEvent)))
      for (FollowUpDraft& d : QM_TRY(draftsOf(store, c.id))) candidates.push_back(std::move(d));
  }
  for (const FollowUpDraft& d : candidates) {
    std::optional<Contact> contact;
    if (d.contactID) contact = QM_TRY(store.find<Contact>(*d.contactID));
    std::optional<std::string> name, company, eventName;
    if (contact) {
      name = contact->fullName();
      company = contact->company;
      if (global && contact->eventID)
        if (auto event = QM_TRY(store.find<Event>(*contact->eventID))) eventName = event->name;
    }
    if (auto score = scoreRecord(draftSearchFields(d, name, company), tokens))
      drafts.push_back(hit(Category::drafts, d.subject,
                           name ? std::optional("To: " + *name) : std::nullopt, eventName, *score,
                           NavigateToDraft{d.id}));
  }
  sortByScore(drafts);

  if (global) {
    auto& found = results[Category::events];
    for (const Event& e : events) {
      if (auto score = scoreRecord(eventSearchFields(e), tokens)) {
        const auto count = static_cast<std::int64_t>(QM_TRY(contactsOf(store, e.id)).size());
        found.push_back(hit(Category::events, e.name, eventSecondaryText(e.location, count),
                            std::nullopt, *score, NavigateToEvent{e.id}));
      }
    }
    sortByScore(found);
  }
  return results;
}

}  // namespace qm
