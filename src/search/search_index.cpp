#include "search/search_index.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "search/search_fields.h"
#include "search/search_hit_texts.h"
#include "search/search_scoring.h"
#include "search/search_text_table.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/store.h"

namespace qm {

namespace {

using Category = SearchResultCategory;
using Range = std::pair<std::size_t, std::size_t>;

SearchTextTable::Texts foldedTexts(const std::vector<SearchField>& fields) {
  SearchTextTable::Texts texts;
  texts.reserve(fields.size());
  for (const SearchField& f : fields)
    if (f.text && !f.text->empty()) texts.emplace_back(foldForSearch(*f.text), f.weight);
  return texts;
}

/// The order in which records grouped by event are laid out: each event's
/// records together, in stored order, events in order of first appearance.
template <class T, class EventOf>
std::vector<std::size_t> groupedByEvent(const std::vector<T>& records, EventOf eventOf,
                                        std::unordered_map<Uuid, Range>& ranges) {
  std::unordered_map<Uuid, std::vector<std::size_t>> members;
  std::vector<Uuid> order;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::optional<Uuid>& event = eventOf(records[i]);
    if (!event) continue;
    auto [it, added] = members.try_emplace(*event);
    if (added) order.push_back(*event);
    it->second.push_back(i);
  }
  std::vector<std::size_t> laidOut;
  ranges.clear();
  for (const Uuid& event : order) {
    const auto& list = members[event];
    ranges[event] = {laidOut.size(), laidOut.size() + list.size()};
    laidOut.insert(laidOut.end(), list.begin(), list.end());
  }
  return laidOut;
}

struct EventEntry {
  Uuid id;
  std::string name;
  std::optional<std::string> location;
};

struct ContactEntry {
  Uuid id;
  std::optional<Uuid> eventID;
  std::string fullName;
  std::string company;
  std::optional<std::string> secondaryText;
  SearchTextTable::Texts texts;  ///< its own fields, folded
};

/// A company or an opportunity, as its hit shows it.
struct HitEntry {
  Uuid id;  ///< the opportunity's (companies are named by their text)
  std::string primaryText;
  std::optional<std::string> secondaryText;
};

struct DraftEntry {
  Uuid id;
  std::string subject;
  std::optional<std::string> secondaryText;
  std::optional<Uuid> eventID;
};

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

enum Table { kEvent, kContact, kNote, kOpportunity, kDraft, kTableCount };
constexpr std::array<std::string_view, kTableCount> kTables{"Event", "Contact", "ContactNote",
                                                            "Opportunity", "FollowUpDraft"};

}  // namespace

struct SearchIndex::Impl {
  std::string locale;
  std::array<std::optional<Store::ChangeStamp>, kTableCount> stamps;
  ReadCounts reads;

  // Events, in stored order.
  std::vector<EventEntry> events;
  std::unordered_map<Uuid, std::size_t> eventIndex;
  SearchTextTable eventTable;

  // Contacts in stored order, their folded notes, and the searchable table
  // laid out by event (record i is contacts[contactOfRecord[i]]).
  std::vector<ContactEntry> contacts;
  std::unordered_map<Uuid, std::size_t> contactIndex;
  std::unordered_map<Uuid, std::vector<std::string>> notesOfContact;
  SearchTextTable contactTable;
  std::vector<std::size_t> contactOfRecord;
  std::unordered_map<Uuid, Range> contactRanges;
  std::unordered_map<Uuid, std::int64_t> contactCounts;

  std::vector<HitEntry> companies;
  SearchTextTable companyTable;
  std::unordered_map<Uuid, Range> companyRanges;

  std::vector<HitEntry> opportunities;
  SearchTextTable opportunityTable;
  std::unordered_map<Uuid, Range> opportunityRanges;

  std::vector<DraftEntry> drafts;
  SearchTextTable draftTable;
  std::unordered_map<Uuid, std::vector<std::size_t>> draftsOfContact;

  Status readEvents(Store& store);
  Status readContacts(Store& store);
  Status readNotes(Store& store);
  void layOutContacts();
  void groupCompaniesOf(const std::vector<Contact>& rows);
  Status readOpportunities(Store& store);
  Status readDrafts(Store& store);

  const EventEntry* event(const Uuid& id) const {
    auto it = eventIndex.find(id);
    return it == eventIndex.end() ? nullptr : &events[it->second];
  }
};

Status SearchIndex::Impl::readEvents(Store& store) {
  auto rows = QM_TRY(store.fetchOnly<Event>({"id", "name", "location"}));
  events.clear();
  eventIndex.clear();
  eventTable = {};
  for (Event& e : rows) {
    eventTable.add(foldedTexts(eventSearchFields(e)));
    eventIndex[e.id] = events.size();
    events.push_back({e.id, std::move(e.name), std::move(e.location)});
  }
  ++reads.events;
  return {};
}

Status SearchIndex::Impl::readContacts(Store& store) {
  auto rows = QM_TRY(store.fetchOnly<Contact>(contactSearchColumns()));
  contacts.clear();
  contactIndex.clear();
  contactCounts.clear();
  contacts.reserve(rows.size());
  for (Contact& c : rows) {
    contactIndex[c.id] = contacts.size();
    if (c.eventID) ++contactCounts[*c.eventID];
    contacts.push_back({c.id, c.eventID, c.fullName(), c.company, contactSecondaryText(c),
                        foldedTexts(contactSearchFields(c, {}))});
  }
  groupCompaniesOf(rows);
  ++reads.contacts;
  return {};
}

Status SearchIndex::Impl::readNotes(Store& store) {
  auto rows = QM_TRY(store.fetchOnly<ContactNote>({"contactID", "textContent"}));
  notesOfContact.clear();
  for (const ContactNote& note : rows) {
    if (!note.contactID || !note.textContent || note.textContent->empty()) continue;
    notesOfContact[*note.contactID].push_back(foldForSearch(*note.textContent));
  }
  ++reads.notes;
  return {};
}

void SearchIndex::Impl::layOutContacts() {
  contactOfRecord = groupedByEvent(
      contacts, [](const ContactEntry& c) -> const std::optional<Uuid>& { return c.eventID; },
      contactRanges);
  contactTable = {};
  std::size_t fields = 0, bytes = 0;
  for (std::size_t i : contactOfRecord) {
    for (const auto& text : contacts[i].texts) bytes += text.first.size() + 1;
    fields += contacts[i].texts.size();
    if (auto notes = notesOfContact.find(contacts[i].id); notes != notesOfContact.end())
      for (const std::string& note : notes->second) {
        bytes += note.size() + 1;
        ++fields;
      }
  }
  contactTable.reserve(contactOfRecord.size(), fields, bytes);
  for (std::size_t i : contactOfRecord) {
    for (const auto& [text, weight] : contacts[i].texts) contactTable.addText(text, weight);
    if (auto notes = notesOfContact.find(contacts[i].id); notes != notesOfContact.end())
      for (const std::string& note : notes->second) contactTable.addText(note, 0.5);
    contactTable.endRecord();
  }
}

void SearchIndex::Impl::groupCompaniesOf(const std::vector<Contact>& rows) {
  std::unordered_map<Uuid, Range> ranges;
  const auto order = groupedByEvent(
      rows, [](const Contact& c) -> const std::optional<Uuid>& { return c.eventID; }, ranges);
  companies.clear();
  companyRanges.clear();
  companyTable = {};
  std::vector<const Contact*> members;
  for (const auto& [event, range] : ranges) {
    members.clear();
    for (std::size_t k = range.first; k < range.second; ++k) members.push_back(&rows[order[k]]);
    const std::size_t first = companies.size();
    for (CompanyGroup& g : groupCompanies(members)) {
      companyTable.add(foldedTexts(companySearchFields(g)));
      std::string secondary = companySecondaryText(g.contacts, g.industry);
      companies.push_back({event, std::move(g.name), std::move(secondary)});
    }
    companyRanges[event] = {first, companies.size()};
  }
}

Status SearchIndex::Impl::readOpportunities(Store& store) {
  auto rows = QM_TRY(store.fetchOnly<Opportunity>({"id", "title", "value", "currency", "stage",
                                                   "nextStep", "notes", "companyName", "eventID"}));
  const auto order = groupedByEvent(
      rows, [](const Opportunity& o) -> const std::optional<Uuid>& { return o.eventID; },
      opportunityRanges);
  opportunities.clear();
  opportunityTable = {};
  for (std::size_t i : order) {
    const Opportunity& o = rows[i];
    opportunityTable.add(foldedTexts(opportunitySearchFields(o)));
    opportunities.push_back({o.id, o.title, opportunitySecondaryText(o, locale)});
  }
  ++reads.opportunities;
  return {};
}

Status SearchIndex::Impl::readDrafts(Store& store) {
  auto rows = QM_TRY(store.fetchOnly<FollowUpDraft>({"id", "subject", "body", "contactID"}));
  drafts.clear();
  draftsOfContact.clear();
  draftTable = {};
  for (const FollowUpDraft& d : rows) {
    const ContactEntry* contact = nullptr;
    if (d.contactID)
      if (auto it = contactIndex.find(*d.contactID); it != contactIndex.end())
        contact = &contacts[it->second];
    std::optional<std::string> name, company;
    if (contact) {
      name = contact->fullName;
      company = contact->company;
      draftsOfContact[contact->id].push_back(drafts.size());
    }
    draftTable.add(foldedTexts(draftSearchFields(d, name, company)));
    drafts.push_back({d.id, d.subject, name ? std::optional("To: " + *name) : std::nullopt,
                      contact ? contact->eventID : std::nullopt});
  }
  ++reads.drafts;
  return {};
}

SearchIndex::SearchIndex(std::string locale) : impl_(std::make_unique<Impl>()) {
  impl_->locale = std::move(locale);
}

SearchIndex::~SearchIndex() = default;

SearchIndex::ReadCounts SearchIndex::readCounts() const {
  return impl_->reads;
}

Status SearchIndex::refresh(Store& store) {
  Impl& im = *impl_;
  std::array<Store::ChangeStamp, kTableCount> now;
  std::array<bool, kTableCount> changed{};
  for (int t = 0; t < kTableCount; ++t) {
    now[t] = QM_TRY(store.changeStamp(kTables[t]));
    changed[t] = !im.stamps[t] || !(*im.stamps[t] == now[t]);
  }
  // A part read only partly would be inconsistent: forget the stamps of what
  // is being re-read until it is complete.
  auto reread = [&](Table t, auto&& read) -> Status {
    im.stamps[t].reset();
    QM_TRY(read());
    im.stamps[t] = now[t];
    return {};
  };
  if (changed[kEvent]) QM_TRY(reread(kEvent, [&] { return im.readEvents(store); }));
  if (changed[kContact] || changed[kNote]) {
    im.stamps[kContact].reset();
    im.stamps[kNote].reset();
    if (changed[kContact]) QM_TRY(im.readContacts(store));
    if (changed[kNote]) QM_TRY(im.readNotes(store));
    im.layOutContacts();
    im.stamps[kContact] = now[kContact];
    im.stamps[kNote] = now[kNote];
  }
  if (changed[kOpportunity])
    QM_TRY(reread(kOpportunity, [&] { return im.readOpportunities(store); }));
  if (changed[kDraft] || changed[kContact])
    QM_TRY(reread(kDraft, [&] { return im.readDrafts(store); }));
  return {};
}

std::optional<SearchResults> SearchIndex::search(std::string_view query,
                                                 const std::optional<Uuid>& scopedEvent,
                                                 const std::function<bool()>& keepGoing) const {
  const Impl& im = *impl_;
  const std::vector<std::string> tokens = searchTokens(query);
  if (tokens.empty()) return SearchResults{};
  auto stopped = [&] { return keepGoing && !keepGoing(); };
  // The longest word is usually the rarest, and the quickest to look for.
  std::size_t scan = 0;
  for (std::size_t i = 1; i < tokens.size(); ++i)
    if (tokens[i].size() > tokens[scan].size()) scan = i;

  const bool global = !scopedEvent;
  std::vector<const EventEntry*> visited;
  if (global) {
    for (const EventEntry& e : im.events) visited.push_back(&e);
  } else if (const EventEntry* e = im.event(*scopedEvent)) {
    visited.push_back(e);
  }
  auto nameIn = [&](const EventEntry& e) { return global ? std::optional(e.name) : std::nullopt; };
  auto rangeOf = [](const std::unordered_map<Uuid, Range>& ranges, const Uuid& event) {
    auto it = ranges.find(event);
    return it == ranges.end() ? Range{0, 0} : it->second;
  };
  // Hits are collected as (score, record) and sorted so before their texts
  // are copied: a short query can match every contact.
  struct Found {
    double score;
    std::size_t record;
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
  auto collectByEvent = [&](const std::unordered_map<Uuid, Range>& ranges,
                            const SearchTextTable& table) {
    found.clear();
    for (const EventEntry* e : visited) {
      if (stopped()) return false;
      const auto [first, last] = rangeOf(ranges, e->id);
      table.match(first, last, tokens, scan, [&](std::size_t record, double score) {
        found.push_back({score, record, e});
      });
    }
    return true;
  };

  SearchResults results;
  if (!collectByEvent(im.contactRanges, im.contactTable)) return std::nullopt;
  publish(found, results[Category::contacts], [&](const Found& f) {
    const ContactEntry& c = im.contacts[im.contactOfRecord[f.record]];
    return SearchResult{{},
                        Category::contacts,
                        c.fullName,
                        c.secondaryText,
                        nameIn(*f.event),
                        0,
                        NavigateToContact{f.event->id, c.id}};
  });

  if (!collectByEvent(im.companyRanges, im.companyTable)) return std::nullopt;
  publish(found, results[Category::companies], [&](const Found& f) {
    const HitEntry& g = im.companies[f.record];
    return SearchResult{{},
                        Category::companies,
                        g.primaryText,
                        g.secondaryText,
                        nameIn(*f.event),
                        0,
                        NavigateToCompany{f.event->id, g.primaryText}};
  });

  if (!collectByEvent(im.opportunityRanges, im.opportunityTable)) return std::nullopt;
  publish(found, results[Category::opportunities], [&](const Found& f) {
    const HitEntry& o = im.opportunities[f.record];
    return SearchResult{{},
                        Category::opportunities,
                        o.primaryText,
                        o.secondaryText,
                        nameIn(*f.event),
                        0,
                        NavigateToOpportunity{f.event->id, o.id}};
  });

  if (stopped()) return std::nullopt;
  found.clear();
  if (global) {
    im.draftTable.match(0, im.draftTable.size(), tokens, scan,
                        [&](std::size_t record, double score) {
                          found.push_back({score, record, nullptr});
                        });
  } else if (!visited.empty()) {
    const auto [first, last] = rangeOf(im.contactRanges, visited.front()->id);
    for (std::size_t record = first; record < last; ++record) {
      const ContactEntry& c = im.contacts[im.contactOfRecord[record]];
      auto own = im.draftsOfContact.find(c.id);
      if (own == im.draftsOfContact.end()) continue;
      for (std::size_t d : own->second)
        if (auto score = im.draftTable.score(d, tokens)) found.push_back({*score, d, nullptr});
    }
  }
  publish(found, results[Category::drafts], [&](const Found& f) {
    const DraftEntry& d = im.drafts[f.record];
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
                          found.push_back({score, record, nullptr});
                        });
    publish(found, results[Category::events], [&](const Found& f) {
      const EventEntry& e = im.events[f.record];
      auto count = im.contactCounts.find(e.id);
      return SearchResult{
          {},
          Category::events,
          e.name,
          eventSecondaryText(e.location, count == im.contactCounts.end() ? 0 : count->second),
          std::nullopt,
          0,
          NavigateToEvent{e.id}};
    });
  }
  if (stopped()) return std::nullopt;
  return results;
}

}  // namespace qm
