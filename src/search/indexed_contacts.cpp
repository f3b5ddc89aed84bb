#include "search/indexed_contacts.h"

#include <algorithm>
#include <functional>
#include <set>

#include "search/search_fields.h"
#include "search/search_hit_texts.h"
#include "store/contact.h"
#include "store/contact_note.h"

namespace qm {

namespace {

/// The fields company groups read.
const std::vector<std::string_view> kCompanyColumns{"company", "companyIndustry", "companySummary",
                                                    "companyWebsite"};
const std::vector<std::string_view> kNoteColumns{"contactID", "textContent"};

std::size_t companyDigestOf(const Contact& c) {
  std::string key = c.company;
  for (const auto* field : {&c.companyIndustry, &c.companySummary, &c.companyWebsite}) {
    key += field->has_value() ? '\1' : '\0';
    if (*field) key += **field;
  }
  return std::hash<std::string>{}(key);
}

IndexedContact indexedContact(Store::Position position, const Contact& c) {
  return {position,
          c.id,
          c.eventID,
          c.fullName(),
          c.company,
          contactSecondaryText(c),
          SearchTextTable::pack(foldedTexts(contactSearchFields(c, {}))),
          companyDigestOf(c)};
}

bool hasText(const ContactNote& note) {
  return note.contactID && note.textContent && !note.textContent->empty();
}

std::string noteTexts(const ContactNote& note) {
  return SearchTextTable::pack({{searchForms(*note.textContent), 0.5}});
}

}  // namespace

Status IndexedContacts::readAll(Store& store) {
  // Contacts and notes are read one at a time and only their folded texts
  // kept: a store of 50,000 contacts never has them all in memory as records.
  // The index is built aside and taken over whole, so a failed read leaves it
  // as it was. (Moving the containers keeps their nodes where they are, so the
  // pointers between them stay good.)
  IndexedContacts fresh;
  fresh.reads_ = reads_;
  QM_TRY(store.forEachPositioned<ContactNote>(
      kNoteColumns, {}, [&](Store::Position position, ContactNote& note) -> Status {
        ++fresh.reads_.notes;
        if (!hasText(note)) return {};
        fresh.notes_.emplace(position, Note{*note.contactID, noteTexts(note)});
        fresh.notesOf_[*note.contactID].push_back(position);
        return {};
      }));
  std::unordered_map<Uuid, CompanyGrouper> companies;
  QM_TRY(store.forEachPositioned<Contact>(
      contactSearchColumns(), {}, [&](Store::Position position, Contact& contact) -> Status {
        ++fresh.reads_.contacts;
        IndexedContact& entry =
            fresh.contacts_
                .emplace_hint(fresh.contacts_.end(), position, indexedContact(position, contact))
                ->second;
        fresh.byID_[entry.id] = &entry;
        fresh.attach(entry);
        if (contact.eventID) companies[*contact.eventID].add(contact);
        return {};
      }));
  for (auto& [event, part] : fresh.events_) setCompanies(part, companies[event].take());
  fresh.layOut();
  *this = std::move(fresh);
  return {};
}

Result<std::vector<Uuid>> IndexedContacts::update(Store& store,
                                                  const std::vector<Store::Position>& contacts,
                                                  const std::vector<Store::Position>& notes) {
  // Everything is read before anything changes, so a failed read leaves the
  // index as it was. Of each contact read only its index entry is kept (a
  // bulk change may touch tens of thousands).
  std::unordered_map<Store::Position, IndexedContact> contactAt;
  if (!contacts.empty())
    QM_TRY(store.forEachPositionedAt<Contact>(
        contactSearchColumns(), contacts, [&](Store::Position position, Contact& c) -> Status {
          contactAt.insert_or_assign(position, indexedContact(position, c));
          return {};
        }));
  std::vector<Positioned<ContactNote>> noteRows;
  if (!notes.empty()) noteRows = QM_TRY(store.fetchPositionedAt<ContactNote>(kNoteColumns, notes));
  reads_.contacts += static_cast<std::int64_t>(contactAt.size());
  reads_.notes += static_cast<std::int64_t>(noteRows.size());

  // The events whose company groups change: a contact came, went or moved,
  // or changed what its group reads.
  std::set<Uuid> regrouped;
  for (const Store::Position position : contacts) {
    const auto held = contacts_.find(position);
    const auto now = contactAt.find(position);
    const IndexedContact* before = held == contacts_.end() ? nullptr : &held->second;
    const IndexedContact* after = now == contactAt.end() ? nullptr : &now->second;
    if (before && after && before->eventID == after->eventID &&
        before->companyDigest == after->companyDigest)
      continue;
    if (before && before->eventID) regrouped.insert(*before->eventID);
    if (after && after->eventID) regrouped.insert(*after->eventID);
  }
  std::unordered_map<Uuid, std::vector<CompanyGroup>> companyGroups;
  for (const Uuid& event : regrouped) {
    CompanyGrouper grouper;
    QM_TRY(store.forEachPositioned<Contact>(kCompanyColumns, {{"eventID", event}},
                                            [&](Store::Position, Contact& c) -> Status {
                                              grouper.add(c);
                                              return {};
                                            }));
    companyGroups[event] = grouper.take();
  }

  std::vector<Uuid> changed;
  for (const Store::Position position : contacts) {
    if (auto held = contacts_.find(position); held != contacts_.end())
      changed.push_back(held->second.id);
    const auto now = contactAt.find(position);
    if (now != contactAt.end()) changed.push_back(now->second.id);
    replaceContact(position, now == contactAt.end() ? nullptr : &now->second);
  }
  std::unordered_map<Store::Position, const ContactNote*> noteAt;
  for (const auto& row : noteRows) noteAt[row.position] = &row.record;
  for (const Store::Position position : notes) {
    const auto now = noteAt.find(position);
    replaceNote(position, now == noteAt.end() ? nullptr : now->second);
  }
  for (auto& [event, groups] : companyGroups) {
    auto part = events_.find(event);
    if (part == events_.end()) continue;
    setCompanies(part->second, std::move(groups));
  }
  layOut();
  return changed;
}

const IndexedContacts::EventPart* IndexedContacts::event(const Uuid& event) const {
  auto it = events_.find(event);
  return it == events_.end() ? nullptr : &it->second;
}

const IndexedContact* IndexedContacts::find(const Uuid& contact) const {
  auto it = byID_.find(contact);
  return it == byID_.end() ? nullptr : it->second;
}

void IndexedContacts::replaceContact(Store::Position position, const IndexedContact* now) {
  if (auto held = contacts_.find(position); held != contacts_.end()) {
    detach(held->second);
    if (auto id = byID_.find(held->second.id); id != byID_.end() && id->second == &held->second)
      byID_.erase(id);
    contacts_.erase(held);
  }
  if (!now) return;
  IndexedContact& entry = contacts_.emplace(position, *now).first->second;
  byID_[entry.id] = &entry;
  attach(entry);
}

void IndexedContacts::replaceNote(Store::Position position, const ContactNote* now) {
  if (auto held = notes_.find(position); held != notes_.end()) {
    const Uuid owner = held->second.contactID;
    if (auto list = notesOf_.find(owner); list != notesOf_.end()) {
      std::erase(list->second, position);
      if (list->second.empty()) notesOf_.erase(list);
    }
    notes_.erase(held);
    if (const IndexedContact* contact = find(owner)) touch(*contact);
  }
  if (!now || !hasText(*now)) return;
  notes_.emplace(position, Note{*now->contactID, noteTexts(*now)});
  notesOf_[*now->contactID].push_back(position);
  if (const IndexedContact* contact = find(*now->contactID)) touch(*contact);
}

void IndexedContacts::attach(IndexedContact& contact) {
  if (!contact.eventID) return;
  EventPart& part = events_[*contact.eventID];
  ++part.contacts;
  auto& chunks = part.chunks;
  // The first chunk whose last contact comes after this one; new contacts,
  // the usual case, go to the end.
  auto at = std::ranges::upper_bound(chunks, contact.position, {}, [](const EventPart::Chunk& c) {
    return c.members.back()->position;
  });
  if (at == chunks.end()) {
    if (chunks.empty() || chunks.back().members.size() >= kChunkSize) chunks.emplace_back();
    at = std::prev(chunks.end());
  }
  auto& members = at->members;
  members.insert(std::ranges::upper_bound(members, contact.position, {},
                                          [](const IndexedContact* c) { return c->position; }),
                 &contact);
  at->dirty = true;
  if (members.size() > 2 * kChunkSize) {
    EventPart::Chunk second;
    second.members.assign(members.begin() + kChunkSize, members.end());
    members.resize(kChunkSize);
    chunks.insert(std::next(at), std::move(second));
  }
}

void IndexedContacts::detach(const IndexedContact& contact) {
  if (!contact.eventID) return;
  auto part = events_.find(*contact.eventID);
  if (part == events_.end()) return;
  if (EventPart::Chunk* chunk = chunkOf(contact)) {
    std::erase(chunk->members, &contact);
    chunk->dirty = true;
    if (chunk->members.empty())
      part->second.chunks.erase(part->second.chunks.begin() + (chunk - part->second.chunks.data()));
  }
  if (--part->second.contacts == 0) events_.erase(part);
}

void IndexedContacts::touch(const IndexedContact& contact) {
  if (EventPart::Chunk* chunk = chunkOf(contact)) chunk->dirty = true;
}

IndexedContacts::EventPart::Chunk* IndexedContacts::chunkOf(const IndexedContact& contact) {
  if (!contact.eventID) return nullptr;
  auto part = events_.find(*contact.eventID);
  if (part == events_.end()) return nullptr;
  auto& chunks = part->second.chunks;
  auto at = std::ranges::lower_bound(chunks, contact.position, {}, [](const EventPart::Chunk& c) {
    return c.members.back()->position;
  });
  return at == chunks.end() ? nullptr : &*at;
}

void IndexedContacts::layOut() {
  for (auto& [event, part] : events_) {
    for (EventPart::Chunk& chunk : part.chunks) {
      if (!chunk.dirty) continue;
      std::size_t fields = 0, bytes = 0;
      for (const IndexedContact* c : chunk.members) {
        bytes += c->texts.size();
        fields += 16;
        if (auto notes = notesOf_.find(c->id); notes != notesOf_.end())
          for (const Store::Position note : notes->second) bytes += notes_.at(note).texts.size();
      }
      chunk.table = {};
      chunk.table.reserve(chunk.members.size(), fields, bytes);
      for (const IndexedContact* c : chunk.members) {
        chunk.table.addPacked(c->texts);
        if (auto notes = notesOf_.find(c->id); notes != notesOf_.end())
          for (const Store::Position note : notes->second)
            chunk.table.addPacked(notes_.at(note).texts);
        chunk.table.endRecord();
      }
      chunk.dirty = false;
    }
  }
}

void IndexedContacts::setCompanies(EventPart& part, std::vector<CompanyGroup> groups) {
  part.companies.clear();
  part.companyTable = {};
  for (CompanyGroup& g : groups) {
    part.companyTable.add(foldedTexts(companySearchFields(g)));
    std::string secondary = companySecondaryText(g.contacts, g.industry);
    part.companies.push_back({std::move(g.name), std::move(secondary)});
  }
}

}  // namespace qm
