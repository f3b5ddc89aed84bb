#include "store/contact_queries.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

#include "common/enum_info.h"
#include "common/text.h"
#include "store/record_enums.h"

namespace qm {

namespace {

/// A contact's full name as SQL: first and last name joined by a space, white
/// space trimmed at both ends; the same text as `Contact::fullName` for any
/// name in UTF-8. The characters are those of `trimUnicodeWhitespace`.
constexpr std::string_view kFullNameSQL =
    "trim(\"firstName\" || ' ' || \"lastName\", char(9, 10, 11, 12, 13, 32, 133, 160, 5760, "
    "8192, 8193, 8194, 8195, 8196, 8197, 8198, 8199, 8200, 8201, 8202, 8232, 8233, 8239, 8287, "
    "12288))";

/// How many times a distinct-value scan seeks from one value to the next before
/// it reads the rest of the index in one pass: seeking wins while values are few.
constexpr int kDistinctSeeks = 128;

std::string statusList() {
  std::string list;
  for (const auto& c : EnumInfo<MeetingStatus>::cases)
    list += (list.empty() ? "'" : ", '") + std::string(c.raw) + "'";
  return list;
}

void bindText(sqlite3_stmt* stmt, int index, std::string_view text) {
  sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string_view textAt(sqlite3_stmt* stmt, int index) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
  return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)))
           : std::string_view();
}

Error readError(sqlite3_stmt* stmt, std::string_view what) {
  return Error(std::string("Could not read ") + std::string(what) + ": " +
               sqlite3_errmsg(sqlite3_db_handle(stmt)));
}

/// The single integer a query of `eventID` (bound as ?1) gives.
Result<std::int64_t> eventInteger(Store& store, const std::string& sql, const Uuid& eventID,
                                  std::string_view what) {
  auto stmt = store.statement(sql);
  if (!stmt) return stmt.error();
  bindText(*stmt, 1, eventID.str());
  if (sqlite3_step(*stmt) != SQLITE_ROW) return readError(*stmt, what);
  return static_cast<std::int64_t>(sqlite3_column_int64(*stmt, 0));
}

/// Hands the distinct values of `column` among the contacts where `scope`
/// holds (with `eventID` bound as ?1 when given) to `visit`, in code-point
/// order. `index` must lead with the scope's columns, then `column`.
Status visitDistinct(Store& store, std::string_view index, std::string_view column,
                     std::string_view scope, const std::optional<Uuid>& eventID,
                     const std::function<void(std::string_view)>& visit) {
  const std::string col(column);
  const std::string from =
      " FROM \"Contact\" INDEXED BY \"" + std::string(index) + "\" WHERE " + std::string(scope);
  const std::string first = "SELECT " + col + from + " ORDER BY " + col + " LIMIT 1";
  const std::string next =
      "SELECT " + col + from + " AND " + col + " > ?2 ORDER BY " + col + " LIMIT 1";
  const std::string rest =
      "SELECT DISTINCT " + col + from + " AND " + col + " > ?2 ORDER BY " + col;

  std::string last;
  for (int seeks = 0;; ++seeks) {
    // Each seek is one descent of the index; past a few, one pass over the
    // remaining entries costs less than seeking on.
    const bool seek = seeks < kDistinctSeeks;
    auto stmt = store.statement(seeks == 0 ? first : seek ? next : rest);
    if (!stmt) return stmt.error();
    if (eventID) bindText(*stmt, 1, eventID->str());
    if (seeks > 0) bindText(*stmt, 2, last);
    int rc;
    bool found = false;
    while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
      found = true;
      last.assign(textAt(*stmt, 0));
      visit(last);
    }
    if (rc != SQLITE_DONE) return readError(*stmt, "the contacts");
    if (!found || !seek) return {};
  }
}

}  // namespace

std::string contactQueryIndexSQL() {
  // eventFigures: met, target and rating counts as ranges of one event's
  // entries. eventCompanies: an event's companies, one seek each.
  // eventListOrder: the list order itself, with everything its filters read.
  // lastName: search's last-name order, equal names in stored order.
  return "CREATE INDEX IF NOT EXISTS \"Contact_eventFigures\" ON \"Contact\" "
         "(\"eventID\", \"status\", \"isTarget\", \"interactionRating\");"
         "CREATE INDEX IF NOT EXISTS \"Contact_eventCompanies\" ON \"Contact\" "
         "(\"eventID\", \"company\");"
         "CREATE INDEX IF NOT EXISTS \"Contact_eventListOrder\" ON \"Contact\" "
         "(\"eventID\", \"rank\", " +
         std::string(kFullNameSQL) +
         ", \"status\", \"isTarget\", \"firstName\", \"lastName\", \"company\");"
         "CREATE INDEX IF NOT EXISTS \"Contact_lastName\" ON \"Contact\" (\"lastName\");";
}

Result<EventContactCounts> countContactsOfEvent(Store& store, const Uuid& eventID) {
  // All three from the one index: a first call after start-up then maps in
  // the pages of one index rather than two.
  static const std::string kContacts =
      "SELECT COUNT(*) FROM \"Contact\" INDEXED BY \"Contact_eventFigures\" "
      "WHERE \"eventID\" = ?1";
  static const std::string kMet =
      "SELECT COUNT(*) FROM \"Contact\" INDEXED BY \"Contact_eventFigures\" "
      "WHERE \"eventID\" = ?1 AND \"status\" = '" +
      std::string(rawValue(MeetingStatus::met)) + "'";
  // Booleans are stored as 0 and 1; every status named, so that the targets
  // of each status are one range of the index.
  static const std::string kTargets =
      "SELECT COUNT(*) FROM \"Contact\" INDEXED BY \"Contact_eventFigures\" "
      "WHERE \"eventID\" = ?1 AND \"status\" IN (" +
      statusList() + ") AND \"isTarget\" = 1";
  EventContactCounts counts;
  counts.contacts = QM_TRY(eventInteger(store, kContacts, eventID, "the contact count"));
  counts.met = QM_TRY(eventInteger(store, kMet, eventID, "the met count"));
  counts.targets = QM_TRY(eventInteger(store, kTargets, eventID, "the target count"));
  return counts;
}

Result<EventRatings> ratingsOfEvent(Store& store, const Uuid& eventID) {
  static const std::string kRatings =
      "SELECT COUNT(\"interactionRating\"), SUM(\"interactionRating\") FROM \"Contact\" "
      "INDEXED BY \"Contact_eventFigures\" WHERE \"eventID\" = ?1 AND \"status\" IN (" +
      statusList() + ") AND \"isTarget\" IN (0, 1) AND \"interactionRating\" IS NOT NULL";
  auto stmt = store.statement(kRatings);
  if (!stmt) return stmt.error();
  bindText(*stmt, 1, eventID.str());
  if (sqlite3_step(*stmt) != SQLITE_ROW) return readError(*stmt, "the ratings");
  return EventRatings{sqlite3_column_int64(*stmt, 0), sqlite3_column_int64(*stmt, 1)};
}

Result<std::int64_t> countCompaniesOfEvent(Store& store, const Uuid& eventID) {
  static constexpr std::string_view kUnknown = "Unknown Company";
  std::int64_t companies = 0;
  bool empty = false;
  QM_TRY(visitDistinct(store, "Contact_eventCompanies", "\"company\"", "\"eventID\" = ?1", eventID,
                       [&](std::string_view company) {
                         ++companies;
                         if (company.empty()) empty = true;
                       }));
  if (!empty) return companies;
  // An empty company shows as "Unknown Company": the same company as one
  // stored under that name.
  static const std::string kNamed =
      "SELECT COUNT(*) FROM (SELECT 1 FROM \"Contact\" INDEXED BY \"Contact_eventCompanies\" "
      "WHERE \"eventID\" = ?1 AND \"company\" = '" +
      std::string(kUnknown) + "' LIMIT 1)";
  const std::int64_t named = QM_TRY(eventInteger(store, kNamed, eventID, "the companies"));
  return companies - named;
}

Status visitContactsInListOrder(Store& store, const Uuid& eventID, const ContactListFilter& filter,
                                const std::function<bool(const ContactListEntry&)>& keep,
                                const std::function<bool(const ContactListEntry&)>& visit) {
  // Contacts of equal rank and name, held until the last of them is read so
  // that they can be handed on in stored order.
  struct Held {
    Store::Position position;
    std::string firstName, lastName, company;
  };
  std::vector<Held> tied;
  std::optional<std::int64_t> tiedRank;
  std::string tiedName;
  std::string fullName;
  bool stopped = false;
  const auto handOn = [&] {
    std::ranges::sort(tied, {}, &Held::position);
    for (const Held& h : tied) {
      if (!visit({h.position, h.firstName, h.lastName, h.company})) {
        stopped = true;
        break;
      }
    }
    tied.clear();
  };

  const std::string id = eventID.str();
  for (const bool ranked : {true, false}) {
    const std::string sql =
        std::string(
            "SELECT rowid, \"rank\", \"firstName\", \"lastName\", \"company\" FROM "
            "\"Contact\" INDEXED BY \"Contact_eventListOrder\" WHERE \"eventID\" = ?1 "
            "AND \"rank\" IS ") +
        (ranked ? "NOT NULL" : "NULL") + (filter.status ? " AND \"status\" = ?2" : "") +
        (filter.isTarget ? " AND \"isTarget\" = ?3" : "") + " ORDER BY " +
        (ranked ? "\"rank\", " : "") + std::string(kFullNameSQL);
    auto stmt = store.statement(sql);
    if (!stmt) return stmt.error();
    bindText(*stmt, 1, id);
    if (filter.status) bindText(*stmt, 2, *filter.status);
    if (filter.isTarget) sqlite3_bind_int(*stmt, 3, *filter.isTarget ? 1 : 0);
    int rc;
    while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
      const ContactListEntry entry{sqlite3_column_int64(*stmt, 0), textAt(*stmt, 2),
                                   textAt(*stmt, 3), textAt(*stmt, 4)};
      if (!keep(entry)) continue;
      const std::optional<std::int64_t> rank =
          ranked ? std::optional(sqlite3_column_int64(*stmt, 1)) : std::nullopt;
      // The index orders by the same full name; only the contacts kept need it.
      fullName.assign(entry.firstName);
      fullName += ' ';
      fullName += entry.lastName;
      const std::string_view name = trimUnicodeWhitespace(fullName);
      if (!tied.empty() && (rank != tiedRank || name != tiedName)) {
        handOn();
        if (stopped) return {};
      }
      if (tied.empty()) {
        tiedRank = rank;
        tiedName.assign(name);
      }
      tied.push_back({entry.position, std::string(entry.firstName), std::string(entry.lastName),
                      std::string(entry.company)});
    }
    if (rc != SQLITE_DONE) return readError(*stmt, "the contacts");
    if (!tied.empty()) {
      handOn();
      if (stopped) return {};
    }
  }
  return {};
}

Result<std::vector<std::string>> distinctLastNames(Store& store) {
  std::vector<std::string> names;
  QM_TRY(visitDistinct(store, "Contact_lastName", "\"lastName\"", "1", std::nullopt,
                       [&](std::string_view name) { names.emplace_back(name); }));
  return names;
}

Result<std::vector<ContactSearchEntry>> contactsWithLastName(Store& store,
                                                             std::string_view lastName,
                                                             std::size_t limit,
                                                             Store::Position after) {
  static const std::string kSQL =
      "SELECT rowid, \"firstName\", \"company\", \"email\" FROM \"Contact\" INDEXED BY "
      "\"Contact_lastName\" WHERE \"lastName\" = ?1 AND rowid > ?3 ORDER BY rowid LIMIT ?2";
  auto stmt = store.statement(kSQL);
  if (!stmt) return stmt.error();
  bindText(*stmt, 1, lastName);
  sqlite3_bind_int64(*stmt, 2, static_cast<sqlite3_int64>(limit));
  sqlite3_bind_int64(*stmt, 3, after);
  std::vector<ContactSearchEntry> entries;
  int rc;
  while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
    ContactSearchEntry& e = entries.emplace_back();
    e.position = sqlite3_column_int64(*stmt, 0);
    e.firstName.assign(textAt(*stmt, 1));
    e.lastName.assign(lastName);
    e.company.assign(textAt(*stmt, 2));
    if (sqlite3_column_type(*stmt, 3) != SQLITE_NULL) e.email.emplace(textAt(*stmt, 3));
  }
  if (rc != SQLITE_DONE) return readError(*stmt, "the contacts");
  return entries;
}

Result<std::unordered_map<Uuid, std::vector<Uuid>>> noteIDsOfEvent(Store& store,
                                                                   const Uuid& eventID) {
  static const std::string kSQL =
      "SELECT n.\"contactID\", n.\"id\" FROM \"ContactNote\" n JOIN \"Contact\" c "
      "ON c.\"id\" = n.\"contactID\" WHERE c.\"eventID\" = ?1";
  auto stmt = store.statement(kSQL);
  if (!stmt) return stmt.error();
  bindText(*stmt, 1, eventID.str());
  std::unordered_map<Uuid, std::vector<Uuid>> notes;
  int rc;
  while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
    auto contact = Uuid::parse(textAt(*stmt, 0));
    auto note = Uuid::parse(textAt(*stmt, 1));
    if (!contact || !note) return Error("The store holds an unreadable note id");
    notes[*contact].push_back(*note);
  }
  if (rc != SQLITE_DONE) return readError(*stmt, "the notes");
  return notes;
}

Result<std::vector<Store::Position>> notePositionsOfEvent(Store& store, const Uuid& eventID) {
  static const std::string kSQL =
      "SELECT n.rowid FROM \"ContactNote\" n JOIN \"Contact\" c "
      "ON c.\"id\" = n.\"contactID\" WHERE c.\"eventID\" = ?1 ORDER BY n.rowid";
  auto stmt = store.statement(kSQL);
  if (!stmt) return stmt.error();
  bindText(*stmt, 1, eventID.str());
  std::vector<Store::Position> positions;
  int rc;
  while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW)
    positions.push_back(static_cast<Store::Position>(sqlite3_column_int64(*stmt, 0)));
  if (rc != SQLITE_DONE) return readError(*stmt, "the notes");
  return positions;
}

}  // namespace qm
