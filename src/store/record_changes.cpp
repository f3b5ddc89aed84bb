#include "store/record_changes.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <iterator>
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

const std::vector<const TableSchema*>& followedTables() {
  static const std::vector<const TableSchema*> tables{
      &Store::schemaOf<Event>(), &Store::schemaOf<Contact>(), &Store::schemaOf<ContactNote>(),
      &Store::schemaOf<Opportunity>(), &Store::schemaOf<FollowUpDraft>()};
  return tables;
}

struct Trigger {
  std::string name;
  std::string sql;
};

/// The triggers that log the writes of `schema`'s table. An update is logged
/// when it writes any column but the bookkeeping ones.
std::vector<Trigger> triggersOf(const TableSchema& schema) {
  const std::string table(schema.table);
  const auto log = [&](std::string_view row) {
    return " BEGIN INSERT INTO " + sqlName(kLog) + " (\"tableName\", \"position\") VALUES ('" +
           table + "', " + std::string(row) + ".rowid); END";
  };
  std::string columns;
  for (const auto& c : schema.columns) {
    if (std::ranges::find(kBookkeeping, c.name) != kBookkeeping.end()) continue;
    columns += (columns.empty() ? "" : ", ") + sqlName(c.name);
  }
  const std::string prefix = std::string(kLog) + "_" + table + "_";
  return {{prefix + "insert", "CREATE TRIGGER " + sqlName(prefix + "insert") + " AFTER INSERT ON " +
                                  sqlName(table) + log("NEW")},
          {prefix + "update", "CREATE TRIGGER " + sqlName(prefix + "update") + " AFTER UPDATE OF " +
                                  columns + " ON " + sqlName(table) + log("NEW")},
          {prefix + "delete", "CREATE TRIGGER " + sqlName(prefix + "delete") + " AFTER DELETE ON " +
                                  sqlName(table) + log("OLD")}};
}

Status run(Store& store, const std::string& sql) {
  auto stmt = store.statement(sql);
  if (!stmt) return stmt.error();
  if (sqlite3_step(*stmt) != SQLITE_DONE)
    return Error(std::string("Could not set up the record change log: ") +
                 sqlite3_errmsg(sqlite3_db_handle(*stmt)));
  return {};
}

Error readError(sqlite3_stmt* stmt) {
  return Error(std::string("Could not read the record change log: ") +
               sqlite3_errmsg(sqlite3_db_handle(stmt)));
}

/// The SQL text the store holds for trigger `name`, empty when there is none.
Result<std::string> storedTrigger(Store& store, const std::string& name) {
  auto stmt = store.statement("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?1");
  if (!stmt) return stmt.error();
  sqlite3_bind_text(*stmt, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(*stmt);
  if (rc == SQLITE_DONE) return std::string();
  if (rc != SQLITE_ROW) return readError(*stmt);
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(*stmt, 0));
  return std::string(text ? text : "");
}

Result<std::int64_t> latestSequence(Store& store) {
  auto stmt = store.statement("SELECT coalesce(max(\"seq\"), 0) FROM " + sqlName(kLog));
  if (!stmt) return stmt.error();
  if (sqlite3_step(*stmt) != SQLITE_ROW) return readError(*stmt);
  return static_cast<std::int64_t>(sqlite3_column_int64(*stmt, 0));
}

}  // namespace

Status installRecordChangeLog(Store& store) {
  // A plain rowid key: numbers follow each other without gaps (a rolled-back
  // write gives its number back), and the newest entry is never removed, so
  // the numbers never go back either.
  QM_TRY(run(store, "CREATE TABLE IF NOT EXISTS " + sqlName(kLog) +
                        " (\"seq\" INTEGER PRIMARY KEY, \"tableName\" TEXT NOT NULL, "
                        "\"position\" INTEGER NOT NULL)"));
  std::vector<Trigger> triggers{{std::string(kLog) + "_prune",
                                 "CREATE TRIGGER " + sqlName(std::string(kLog) + "_prune") +
                                     " AFTER INSERT ON " + sqlName(kLog) + " WHEN NEW.\"seq\" % " +
                                     std::to_string(kPruneEvery) + " = 0 BEGIN DELETE FROM " +
                                     sqlName(kLog) + " WHERE \"seq\" <= NEW.\"seq\" - " +
                                     std::to_string(kRecordChangesKept) + "; END"}};
  for (const TableSchema* schema : followedTables())
    std::ranges::move(triggersOf(*schema), std::back_inserter(triggers));
  // A trigger made for other columns (a store written by an earlier build,
  // before a field was added) is made again.
  for (const Trigger& t : triggers) {
    if (QM_TRY(storedTrigger(store, t.name)) == t.sql) continue;
    QM_TRY(run(store, "DROP TRIGGER IF EXISTS " + sqlName(t.name)));
    QM_TRY(run(store, t.sql));
  }
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
  int rc;
  while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
    last = sqlite3_column_int64(*stmt, 0);
    if (rows++ == 0) first = last;
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(*stmt, 1));
    const std::string table(name ? name : "");
    const Store::Position position = sqlite3_column_int64(*stmt, 2);
    if (seen[table].insert(position).second) tables[table].push_back(position);
  }
  if (rc != SQLITE_DONE) return readError(*stmt);
  if (rows == 0) {
    // Nothing newer, or a log that started again below the reader's number
    // (the file was replaced): then the reader knows nothing of it.
    changes.latest = QM_TRY(latestSequence(store));
    if (changes.latest == *after) changes.tables.emplace();
    return changes;
  }
  if (first != *after + 1 || rows > limit) {
    changes.latest = QM_TRY(latestSequence(store));
    return changes;
  }
  changes.latest = last;
  changes.tables = std::move(tables);
  return changes;
}

}  // namespace qm
