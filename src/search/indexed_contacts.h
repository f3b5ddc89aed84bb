#pragma once

// The contacts part of the search index: every contact and note of the store,
// folded once, and for each event the searchable texts of its contacts (their
// own fields and their notes) and of its companies. A change re-reads only the
// contacts and notes written, and lays out again only the part of their event
// that holds them.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "common/uuid.h"
#include "search/search_fields.h"
#include "search/search_text_table.h"
#include "store/store.h"

namespace qm {

struct Contact;
struct ContactNote;

/// One contact as the index keeps it.
struct IndexedContact {
  Store::Position position = 0;
  Uuid id;
  std::optional<Uuid> eventID;
  std::string fullName;
  std::string company;
  std::optional<std::string> secondaryText;
  std::string texts;  ///< its own fields, folded (`SearchTextTable::pack`)
  /// A digest of the fields its company group reads: a change of anything
  /// else leaves the event's companies as they are.
  std::size_t companyDigest = 0;
};

/// A company of an event's contacts, as its hit shows it.
struct IndexedCompany {
  std::string name;
  std::string secondaryText;
};

class IndexedContacts {
 public:
  /// How many contacts a chunk holds at most before it is split; a change
  /// lays out one chunk again.
  static constexpr std::size_t kChunkSize = 512;

  /// An event's contacts in stored order, in chunks each with the texts of
  /// its contacts (own fields, then notes) as one table; and its companies.
  struct EventPart {
    struct Chunk {
      std::vector<const IndexedContact*> members;
      SearchTextTable table;
      bool dirty = true;
    };
    std::vector<Chunk> chunks;
    std::vector<IndexedCompany> companies;
    SearchTextTable companyTable;
    std::int64_t contacts = 0;
  };

  /// How many records have been read, for tests and logs.
  struct Reads {
    std::int64_t contacts = 0, notes = 0;
  };

  /// Reads every contact and note.
  Status readAll(Store& store);
  /// Re-reads the contacts and notes at the positions written; changes nothing
  /// when a read fails. Gives the ids of the contacts that changed, came or
  /// went (their drafts show their names).
  Result<std::vector<Uuid>> update(Store& store, const std::vector<Store::Position>& contacts,
                                   const std::vector<Store::Position>& notes);

  /// The searchable part of `event`, or nothing when it has no contacts.
  const EventPart* event(const Uuid& event) const;
  const IndexedContact* find(const Uuid& contact) const;
  const Reads& reads() const { return reads_; }

 private:
  struct Note {
    Uuid contactID;
    std::string texts;  ///< its text, folded (`SearchTextTable::pack`)
  };

  void replaceContact(Store::Position position, const IndexedContact* now);
  void replaceNote(Store::Position position, const ContactNote* now);
  void attach(IndexedContact& contact);
  void detach(const IndexedContact& contact);
  /// Marks the chunk that holds `contact` (when in an event) to be laid out again.
  void touch(const IndexedContact& contact);
  EventPart::Chunk* chunkOf(const IndexedContact& contact);
  /// Lays out the chunks marked.
  void layOut();
  static void setCompanies(EventPart& part, std::vector<CompanyGroup> groups);

  std::map<Store::Position, IndexedContact> contacts_;
  std::unordered_map<Uuid, IndexedContact*> byID_;
  std::unordered_map<Store::Position, Note> notes_;
  std::unordered_map<Uuid, std::vector<Store::Position>> notesOf_;
  std::unordered_map<Uuid, EventPart> events_;
  Reads reads_;
};

}  // namespace qm
