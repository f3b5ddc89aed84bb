#include "store/record_changes.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <set>

#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"

namespace qm {

namespace {

constexpr std::string_view kLog = "RecordChange";

/// Columns whose writes change nothing a reader derives: the sync bookkeeping
/// a snapshot writes for each contact it leaves unchanged.
constexpr std::array<std::string_view, 2> kBookkeeping = {"lastSyncedAt", "syncCount"};

/// How often (in entries) the oldest entries are removed.
constexpr std::int64_t kPruneEvery = 4'096;

std::string sqlName(std::string_view name) {
  return "\"" + std::string(name) + "\"";
}

const std::array<std::string_view, 5>& followedTables() {
  static const std::array<std::string_view, 5> tables{
      RecordInfo<Event>::table, RecordInfo<Contact>::table, RecordInfo<ContactNote>::table,
      RecordInfo<Opportunity>::table, RecordInfo<FollowUpDraft>::table};
  return tables;
}

Error logError(sqlite3_stmt* stmt, std::string_view what) {
  return Error(std::string("Could not ") + std::string(what) +
               " the record change log: " + sqlite3_errmsg(sqlite3_db_handle(stmt)));
}

Result<std::int64_t> latestSequence(Store& store) {
  auto stmt = store.statement("SELECT coalesce(max(\"seq\"), 0) FROM " + sqlName(kLog));
  if (!stmt) return stmt.error();
  if (sqlite3_step(*stmt) != SQLITE_ROW) return logError(*stmt, "read");
  return static_cast<std::int64_t>(sqlite3_column_int64(*stmt, 0));
}

}  // namespace

Status installRecordChangeLog(Store& store) {
  // A plain rowid key: numbers follow each other without gaps (a rolled-back
  // write gives its numbers back), and the newest entry is never removed, so
  // the numbers never go back either.
  auto stmt = store.statement("CREATE TABLE IF NOT EXISTS " + sqlName(kLog) +
                              " (\"seq\" INTEGER PRIMARY KEY, \"tableName\" TEXT NOT NULL, "
                              "\"position\" INTEGER NOT NULL)");
  if (!stmt) return stmt.error();
  if (sqlite3_step(*stmt) != SQLITE_DONE) return logError(*stmt, "create");
  return {};
}

std::optional<std::string_view> followedTable(std::string_view table) {
  const auto it = std::ranges::find(followedTables(), table);
  if (it == followedTables().end()) return std::nullopt;
  return *it;
}

bool isBookkeepingColumn(std::string_view column) {
  return std::ranges::find(kBookkeeping, column) != kBookkeeping.end();
}

Status appendRecordChanges(Store& store, const std::vector<RecordChange>& changes) {
  if (changes.empty()) return {};
  auto insert = store.statement("INSERT INTO " + sqlName(kLog) +
                                " (\"tableName\", \"position\") VALUES (?1, ?2)");
  if (!insert) return insert.error();
  std::int64_t last = 0;
  for (const RecordChange& change : changes) {
    sqlite3_reset(*insert);
    sqlite3_bind_text(*insert, 1, change.table.data(), static_cast<int>(change.table.size()),
                      SQLITE_STATIC);
    sqlite3_bind_int64(*insert, 2, change.position);
    if (sqlite3_step(*insert) != SQLITE_DONE) return logError(*insert, "write");
    last = sqlite3_last_insert_rowid(sqlite3_db_handle(*insert));
  }
  // The oldest entries go once every kPruneEvery numbers were handed out.
  if (last / kPruneEvery == (last - static_cast<std::int64_t>(changes.size())) / kPruneEvery)
    return {};
  auto prune = store.statement("DELETE FROM " + sqlName(kLog) + " WHERE \"seq\" <= ?1");
  if (!prune) return prune.error();
  sqlite3_bind_int64(*prune, 1, last - kRecordChangesKept);
  if (sqlite3_step(*prune) != SQLITE_DONE) return logError(*prune, "trim");
  return {};
}

Result<RecordChanges> recordChangesSince(Store& store, std::optional<std::int64_t> after,
                                         std::size_t limit) {
  RecordChanges changes;
  if (!after) {
    changes.latest = QM_TRY(latestSequence(store));
    return changes;
  }
  auto stmt = store.statement("SELECT \"seq\", \"tableName\", \"position\" FROM " + sqlName(kLog) +
                              " WHERE \"seq\" > ?1 ORDER BY \"seq\" LIMIT ?2");
  if (!stmt) return stmt.error();
  sqlite3_bind_int64(*stmt, 1, *after);
  sqlite3_bind_int64(*stmt, 2, static_cast<sqlite3_int64>(limit) + 1);
  std::map<std::string, std::vector<Store::Position>, std::less<>> tables;
  std::map<std::string, std::set<Store::Position>, std::less<>> seen;
  std::size_t rows = 0;
  std::int64_t first = 0, last = *after;
  bool wholeTable = false;
  int rc;
  while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
    last = sqlite3_column_int64(*stmt, 0);
    if (rows++ == 0) first = last;
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(*stmt, 1));
    const std::string table(name ? name : "");
    const Store::Position position = sqlite3_column_int64(*stmt, 2);
    if (position == 0) wholeTable = true;
    if (seen[table].insert(position).second) tables[table].push_back(position);
  }
  if (rc != SQLITE_DONE) return logError(*stmt, "read");
  if (rows == 0) {
    // Nothing newer, or a log that started again below the reader's number
    // (the file was replaced): then the reader knows nothing of it.
    changes.latest = QM_TRY(latestSequence(store));
    if (changes.latest == *after) changes.tables.emplace();
    return changes;
  }
  if (first != *after + 1 || rows > limit || wholeTable) {
    changes.latest = QM_TRY(latestSequence(store));
    return changes;
  }
  changes.latest = last;
  changes.tables = std::move(tables);
  return changes;
}

}  // namespace qm
