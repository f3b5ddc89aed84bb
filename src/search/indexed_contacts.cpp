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
  auto rows = QM_TRY(store.fetchPositioned<Contact>(contactSearchColumns()));
  auto notes = QM_TRY(store.fetchPositioned<ContactNote>(kNoteColumns));
  reads_.contacts += static_cast<std::int64_t>(rows.size());
  reads_.notes += static_cast<std::int64_t>(notes.size());

  contacts_.clear();
  byID_.clear();
  notes_.clear();
  notesOf_.clear();
  events_.clear();
  for (const auto& [position, note] : notes) {
    if (!hasText(note)) continue;
    notes_.emplace(position, Note{*note.contactID, noteTexts(note)});
    notesOf_[*note.contactID].push_back(position);
  }
  std::unordered_map<Uuid, std::vector<const Contact*>> members;
  for (const auto& [position, contact] : rows) {
    IndexedContact& entry =
        contacts_.emplace_hint(contacts_.end(), position, indexedContact(position, contact))
            ->second;
    byID_[entry.id] = &entry;
    attach(entry);
    if (contact.eventID) members[*contact.eventID].push_back(&contact);
  }
  for (auto& [event, part] : events_) regroup(part, members[event]);
  layOut();
  return {};
}

Result<std::vector<Uuid>> IndexedContacts::update(Store& store,
                                                  const std::vector<Store::Position>& contacts,
                                                  const std::vector<Store::Position>& notes) {
  // Everything is read before anything changes, so a failed read leaves the
  // index as it was.
  std::vector<Positioned<Contact>> rows;
  if (!contacts.empty())
    rows = QM_TRY(store.fetchPositionedAt<Contact>(contactSearchColumns(), contacts));
  std::vector<Positioned<ContactNote>> noteRows;
  if (!notes.empty()) noteRows = QM_TRY(store.fetchPositionedAt<ContactNote>(kNoteColumns, notes));
  reads_.contacts += static_cast<std::int64_t>(rows.size());
  reads_.notes += static_cast<std::int64_t>(noteRows.size());

  std::unordered_map<Store::Position, const Contact*> contactAt;
  for (const auto& row : rows) contactAt[row.position] = &row.record;
  // The events whose company groups change: a contact came, went or moved,
  // or changed what its group reads.
  std::set<Uuid> regrouped;
  for (const Store::Position position : contacts) {
    const auto held = contacts_.find(position);
    const auto now = contactAt.find(position);
    const IndexedContact* before = held == contacts_.end() ? nullptr : &held->second;
    const Contact* after = now == contactAt.end() ? nullptr : now->second;
    if (before && after && before->eventID == after->eventID &&
        before->companyDigest == companyDigestOf(*after))
      continue;
    if (before && before->eventID) regrouped.insert(*before->eventID);
    if (after && after->eventID) regrouped.insert(*after->eventID);
  }
  std::unordered_map<Uuid, std::vector<Contact>> companyRows;
  for (const Uuid& event : regrouped)
    companyRows[event] = QM_TRY(store.fetchOnly<Contact>(kCompanyColumns, {{"eventID", event}}));

  std::vector<Uuid> changed;
  for (const Store::Position position : contacts) {
    if (auto held = contacts_.find(position); held != contacts_.end())
      changed.push_back(held->second.id);
    const auto now = contactAt.find(position);
    if (now != contactAt.end()) changed.push_back(now->second->id);
    replaceContact(position, now == contactAt.end() ? nullptr : now->second);
  }
  std::unordered_map<Store::Position, const ContactNote*> noteAt;
  for (const auto& row : noteRows) noteAt[row.position] = &row.record;
  for (const Store::Position position : notes) {
    const auto now = noteAt.find(position);
    replaceNote(position, now == noteAt.end() ? nullptr : now->second);
  }
  for (auto& [event, rowsOfEvent] : companyRows) {
    auto part = events_.find(event);
    if (part == events_.end()) continue;
    std::vector<const Contact*> members;
    members.reserve(rowsOfEvent.size());
    for (const Contact& c : rowsOfEvent) members.push_back(&c);
    regroup(part->second, members);
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

void IndexedContacts::replaceContact(Store::Position position, const Contact* now) {
  if (auto held = contacts_.find(position); held != contacts_.end()) {
    detach(held->second);
    if (auto id = byID_.find(held->second.id); id != byID_.end() && id->second == &held->second)
      byID_.erase(id);
    contacts_.erase(held);
  }
  if (!now) return;
  IndexedContact& entry = contacts_.emplace(position, indexedContact(position, *now)).first->second;
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

void IndexedContacts::regroup(EventPart& part, const std::vector<const Contact*>& contacts) {
  part.companies.clear();
  part.companyTable = {};
  for (CompanyGroup& g : groupCompanies(contacts)) {
    part.companyTable.add(foldedTexts(companySearchFields(g)));
    std::string secondary = companySecondaryText(g.contacts, g.industry);
    part.companies.push_back({std::move(g.name), std::move(secondary)});
  }
}

}  // namespace qm
