#include "search/search_index.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "search/indexed_contacts.h"
#include "search/indexed_drafts.h"
#include "search/search_fields.h"
#include "search/search_hit_texts.h"
#include "search/search_scoring.h"
#include "search/search_text_table.h"
#include "store/event.h"
#include "store/opportunity.h"
#include "store/record_changes.h"
#include "store/store.h"

namespace qm {

namespace {

using Category = SearchResultCategory;
using Range = std::pair<std::size_t, std::size_t>;

/// Past this many records written since the last look, reading everything
/// again costs less than reading them one by one.
constexpr std::size_t kMostChangesFollowed = 10'000;

/// Fresh ids for the hits of one search: one random UUID, then the same with
/// a counter added to its last six bytes. Unique within the search and, being
/// random, across searches; one call to the random source instead of one per
/// hit.
class FreshIDs {
 public:
  Uuid next() {
    Uuid::Bytes bytes = base_.bytes();
    std::uint64_t carry = count_++;
    for (std::size_t i = bytes.size(); i-- > 10 && carry != 0;) {
      carry += bytes[i];
      bytes[i] = static_cast<std::uint8_t>(carry & 0xFF);
      carry >>= 8;
    }
    return Uuid(bytes);
  }

 private:
  Uuid base_ = Uuid::random();
  std::uint64_t count_ = 0;
};

struct EventEntry {
  Uuid id;
  std::string name;
  std::optional<std::string> location;
};

struct OpportunityEntry {
  Uuid id;
  std::string title;
  std::optional<std::string> secondaryText;
};

/// The positions written to `table`, from the change log's answer.
const std::vector<Store::Position>& written(const RecordChanges& changes, std::string_view table) {
  static const std::vector<Store::Position> none;
  auto it = changes.tables->find(table);
  return it == changes.tables->end() ? none : it->second;
}

}  // namespace

struct SearchIndex::Impl {
  std::string locale;
  /// The last change log entry the index has followed; nothing before the
  /// first read and after a failed one.
  std::optional<std::int64_t> followed;
  std::int64_t eventReads = 0, opportunityReads = 0;

  // Events, in stored order.
  std::vector<EventEntry> events;
  std::unordered_map<Uuid, std::size_t> eventIndex;
  SearchTextTable eventTable;

  IndexedContacts contacts;
  IndexedDrafts drafts;

  // Opportunities laid out by event.
  std::vector<OpportunityEntry> opportunities;
  SearchTextTable opportunityTable;
  std::unordered_map<Uuid, Range> opportunityRanges;

  Status readEvents(Store& store);
  Status readOpportunities(Store& store);
  Status readEverything(Store& store);
  Status follow(Store& store, const RecordChanges& changes);

  const EventEntry* event(const Uuid& id) const {
    auto it = eventIndex.find(id);
    return it == eventIndex.end() ? nullptr : &events[it->second];
  }
};

Status SearchIndex::Impl::readEvents(Store& store) {
  auto rows = QM_TRY(store.fetchOnly<Event>({"id", "name", "location"}));
  eventReads += static_cast<std::int64_t>(rows.size());
  events.clear();
  eventIndex.clear();
  eventTable = {};
  for (Event& e : rows) {
    eventTable.add(foldedTexts(eventSearchFields(e)));
    eventIndex[e.id] = events.size();
    events.push_back({e.id, std::move(e.name), std::move(e.location)});
  }
  return {};
}

Status SearchIndex::Impl::readOpportunities(Store& store) {
  auto rows = QM_TRY(store.fetchOnly<Opportunity>({"id", "title", "value", "currency", "stage",
                                                   "nextStep", "notes", "companyName", "eventID"}));
  opportunityReads += static_cast<std::int64_t>(rows.size());
  // Each event's opportunities together, in stored order, events in order
  // of first appearance.
  std::unordered_map<Uuid, std::vector<std::size_t>> members;
  std::vector<Uuid> order;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].eventID) continue;
    auto [it, added] = members.try_emplace(*rows[i].eventID);
    if (added) order.push_back(*rows[i].eventID);
    it->second.push_back(i);
  }
  opportunities.clear();
  opportunityRanges.clear();
  opportunityTable = {};
  for (const Uuid& event : order) {
    const std::size_t first = opportunities.size();
    for (std::size_t i : members[event]) {
      const Opportunity& o = rows[i];
      opportunityTable.add(foldedTexts(opportunitySearchFields(o)));
      opportunities.push_back({o.id, o.title, opportunitySecondaryText(o, locale)});
    }
    opportunityRanges[event] = {first, opportunities.size()};
  }
  return {};
}

Status SearchIndex::Impl::readEverything(Store& store) {
  QM_TRY(readEvents(store));
  QM_TRY(contacts.readAll(store));
  QM_TRY(readOpportunities(store));
  return drafts.readAll(store, contacts);
}

Status SearchIndex::Impl::follow(Store& store, const RecordChanges& changes) {
  if (!written(changes, "Event").empty()) QM_TRY(readEvents(store));
  const std::vector<Uuid> changedContacts =
      QM_TRY(contacts.update(store, written(changes, "Contact"), written(changes, "ContactNote")));
  if (!written(changes, "Opportunity").empty()) QM_TRY(readOpportunities(store));
  return drafts.update(store, written(changes, "FollowUpDraft"), changedContacts, contacts);
}

SearchIndex::SearchIndex(std::string locale) : impl_(std::make_unique<Impl>()) {
  impl_->locale = std::move(locale);
}

SearchIndex::~SearchIndex() = default;

SearchIndex::ReadCounts SearchIndex::readCounts() const {
  const Impl& im = *impl_;
  return {im.eventReads, im.contacts.reads().contacts, im.contacts.reads().notes,
          im.opportunityReads, im.drafts.reads()};
}

Status SearchIndex::refresh(Store& store) {
  Impl& im = *impl_;
  const RecordChanges changes =
      QM_TRY(recordChangesSince(store, im.followed, kMostChangesFollowed));
  // Until this refresh is complete, the next one starts from the same place
  // (following a change twice gives the same index) or reads everything.
  const std::optional<std::int64_t> before = std::exchange(im.followed, std::nullopt);
  if (!changes.tables) {
    QM_TRY(im.readEverything(store));
  } else if (!changes.tables->empty()) {
    if (Status followed = im.follow(store, changes); !followed) {
      im.followed = before;
      return followed;
    }
  }
  im.followed = changes.latest;
  return {};
}

std::optional<SearchResults> SearchIndex::search(std::string_view query,
                                                 const std::optional<Uuid>& scopedEvent,
                                                 const std::function<bool()>& keepGoing) const {
  const Impl& im = *impl_;
  const std::vector<SearchToken> tokens = searchTokens(query);
  if (tokens.empty()) return SearchResults{};
  auto stopped = [&] { return keepGoing && !keepGoing(); };
  // The longest word is usually the rarest, and the quickest to look for.
  std::size_t scan = 0;
  for (std::size_t i = 1; i < tokens.size(); ++i)
    if (tokens[i].folded.size() > tokens[scan].folded.size()) scan = i;

  const bool global = !scopedEvent;
  std::vector<const EventEntry*> visited;
  if (global) {
    for (const EventEntry& e : im.events) visited.push_back(&e);
  } else if (const EventEntry* e = im.event(*scopedEvent)) {
    visited.push_back(e);
  }
  auto nameIn = [&](const EventEntry& e) { return global ? std::optional(e.name) : std::nullopt; };
  // Hits are collected as (score, what was found) and sorted so before their
  // texts are copied: a short query can match every contact.
  struct Found {
    double score;
    std::size_t record;
    const void* entry;
    const EventEntry* event;
  };
  FreshIDs ids;
  auto publish = [&](std::vector<Found>& found, std::vector<SearchResult>& out, auto&& make) {
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.score > b.score; });
    out.reserve(found.size());
    for (const Found& f : found) {
      out.push_back(make(f));
      out.back().id = ids.next();
      out.back().score = f.score;
    }
  };
  std::vector<Found> found;

  SearchResults results;
  for (const EventEntry* e : visited) {
    if (stopped()) return std::nullopt;
    const IndexedContacts::EventPart* part = im.contacts.event(e->id);
    if (!part) continue;
    for (const auto& chunk : part->chunks)
      chunk.table.match(0, chunk.table.size(), tokens, scan, [&](std::size_t record, double score) {
        found.push_back({score, record, chunk.members[record], e});
      });
  }
  publish(found, results[Category::contacts], [&](const Found& f) {
    const auto& c = *static_cast<const IndexedContact*>(f.entry);
    return SearchResult{{},
                        Category::contacts,
                        c.fullName,
                        c.secondaryText,
                        nameIn(*f.event),
                        0,
                        NavigateToContact{f.event->id, c.id}};
  });

  found.clear();
  for (const EventEntry* e : visited) {
    if (stopped()) return std::nullopt;
    const IndexedContacts::EventPart* part = im.contacts.event(e->id);
    if (!part) continue;
    part->companyTable.match(0, part->companyTable.size(), tokens, scan,
                             [&](std::size_t record, double score) {
                               found.push_back({score, record, &part->companies[record], e});
                             });
  }
  publish(found, results[Category::companies], [&](const Found& f) {
    const auto& g = *static_cast<const IndexedCompany*>(f.entry);
    return SearchResult{{},
                        Category::companies,
                        g.name,
                        g.secondaryText,
                        nameIn(*f.event),
                        0,
                        NavigateToCompany{f.event->id, g.name}};
  });

  found.clear();
  for (const EventEntry* e : visited) {
    if (stopped()) return std::nullopt;
    auto range = im.opportunityRanges.find(e->id);
    if (range == im.opportunityRanges.end()) continue;
    im.opportunityTable.match(range->second.first, range->second.second, tokens, scan,
                              [&](std::size_t record, double score) {
                                found.push_back({score, record, &im.opportunities[record], e});
                              });
  }
  publish(found, results[Category::opportunities], [&](const Found& f) {
    const auto& o = *static_cast<const OpportunityEntry*>(f.entry);
    return SearchResult{{},
                        Category::opportunities,
                        o.title,
                        o.secondaryText,
                        nameIn(*f.event),
                        0,
                        NavigateToOpportunity{f.event->id, o.id}};
  });

  if (stopped()) return std::nullopt;
  found.clear();
  const SearchTextTable& draftTable = im.drafts.table();
  if (global) {
    draftTable.match(0, draftTable.size(), tokens, scan, [&](std::size_t record, double score) {
      found.push_back({score, record, nullptr, nullptr});
    });
  } else if (!visited.empty()) {
    if (const IndexedContacts::EventPart* part = im.contacts.event(visited.front()->id))
      for (const auto& chunk : part->chunks)
        for (const IndexedContact* c : chunk.members)
          if (const auto* own = im.drafts.ofContact(c->id))
            for (std::size_t d : *own)
              if (auto score = draftTable.score(d, tokens))
                found.push_back({*score, d, nullptr, nullptr});
  }
  publish(found, results[Category::drafts], [&](const Found& f) {
    const IndexedDraft& d = im.drafts.at(f.record);
    std::optional<std::string> eventName;
    if (global && d.eventID)
      if (const EventEntry* e = im.event(*d.eventID)) eventName = e->name;
    return SearchResult{{}, Category::drafts,     d.subject, d.secondaryText, std::move(eventName),
                        0,  NavigateToDraft{d.id}};
  });

  if (global) {
    found.clear();
    im.eventTable.match(0, im.eventTable.size(), tokens, scan,
                        [&](std::size_t record, double score) {
                          found.push_back({score, record, nullptr, nullptr});
                        });
    publish(found, results[Category::events], [&](const Found& f) {
      const EventEntry& e = im.events[f.record];
      const IndexedContacts::EventPart* part = im.contacts.event(e.id);
      return SearchResult{{},
                          Category::events,
                          e.name,
                          eventSecondaryText(e.location, part ? part->contacts : 0),
                          std::nullopt,
                          0,
                          NavigateToEvent{e.id}};
    });
  }
  if (stopped()) return std::nullopt;
  return results;
}

}  // namespace qm
