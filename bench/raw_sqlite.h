#pragma once

// The raw SQLite baselines of the benchmarks: the same rows written and read
// with plain prepared statements on a connection set up like the store's.

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/base64.h"
#include "common/result.h"
#include "store/store.h"

namespace qm::bench {

namespace fs = std::filesystem;

using RawValue = std::variant<std::monostate, std::int64_t, double, std::string, Bytes>;
using RawRow = std::vector<RawValue>;

inline std::string sqlName(std::string_view name) {
  return "\"" + std::string(name) + "\"";
}

/// The table's column names, quoted and separated by commas.
inline std::string columnList(const TableSchema& schema) {
  std::string names;
  for (const auto& c : schema.columns) names += (names.empty() ? "" : ", ") + sqlName(c.name);
  return names;
}

/// A plain SQLite connection with the store's settings (WAL, FULL sync,
/// foreign keys on).
class RawDb {
 public:
  RawDb() = default;
  ~RawDb() {
    for (auto* stmt : statements_) sqlite3_finalize(stmt);
    if (db_) sqlite3_close_v2(db_);
  }
  RawDb(const RawDb&) = delete;
  RawDb& operator=(const RawDb&) = delete;

  Status open(const fs::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
      return error("open");
    return exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;");
  }
  /// An existing store file, opened the way the store opens its connection:
  /// no connection mutex, WAL, FULL sync, foreign keys on, fast secure delete,
  /// reads through a 256 MiB memory map and a 16 MiB page cache.
  Status openLikeStore(const fs::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK)
      return error("open");
    return exec(
        "PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL; "
        "PRAGMA secure_delete=FAST; PRAGMA mmap_size=268435456; PRAGMA cache_size=-16384;");
  }
  Status exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return error(sql);
    return {};
  }
  Result<sqlite3_stmt*> prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK)
      return error("prepare");
    statements_.push_back(stmt);
    return stmt;
  }
  Status insert(sqlite3_stmt* stmt, const RawRow& row) {
    int rc = bind(stmt, row);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) return error("insert");
    return {};
  }
  /// Binds `params`, steps through every row and appends each to `rows` with
  /// every column copied out as its stored type (text and blobs into owned
  /// strings and bytes), so the rows outlive the statement.
  Status select(sqlite3_stmt* stmt, const RawRow& params, std::vector<RawRow>& rows) {
    int rc = bind(stmt, params);
    if (rc == SQLITE_OK) {
      const int columns = sqlite3_column_count(stmt);
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        RawRow& row = rows.emplace_back();
        row.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i) row.push_back(column(stmt, i));
      }
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE) return error("select");
    return {};
  }
  Result<std::int64_t> count(std::string_view table) {
    auto stmt = prepare("SELECT COUNT(*) FROM " + sqlName(table));
    if (!stmt) return stmt.error();
    if (sqlite3_step(*stmt) != SQLITE_ROW) return error("count");
    const std::int64_t n = sqlite3_column_int64(*stmt, 0);
    sqlite3_reset(*stmt);
    return n;
  }

  /// Every row of `schema`'s table in stored order, each column as its stored type.
  Result<std::vector<RawRow>> rows(const TableSchema& schema) {
    auto stmt = prepare("SELECT " + columnList(schema) + " FROM " + sqlName(schema.table) +
                        " ORDER BY rowid");
    if (!stmt) return stmt.error();
    std::vector<RawRow> out;
    int rc;
    while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
      RawRow& row = out.emplace_back();
      for (int i = 0; i < sqlite3_column_count(*stmt); ++i) row.push_back(column(*stmt, i));
    }
    sqlite3_reset(*stmt);
    if (rc != SQLITE_DONE) return error("select");
    return out;
  }
  /// Rows per table, of every table in the file.
  Result<std::map<std::string, std::int64_t>> tableCounts() {
    auto names = prepare("SELECT name FROM sqlite_schema WHERE type = 'table'");
    if (!names) return names.error();
    std::vector<std::string> tables;
    while (sqlite3_step(*names) == SQLITE_ROW)
      tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(*names, 0)));
    sqlite3_reset(*names);
    std::map<std::string, std::int64_t> counts;
    for (const auto& table : tables) {
      auto count = prepare("SELECT COUNT(*) FROM " + sqlName(table));
      if (!count) return count.error();
      if (sqlite3_step(*count) != SQLITE_ROW) return error("count");
      counts[table] = sqlite3_column_int64(*count, 0);
      sqlite3_reset(*count);
    }
    return counts;
  }

 private:
  static int bind(sqlite3_stmt* stmt, const RawRow& row) {
    int rc = SQLITE_OK;
    for (std::size_t i = 0; i < row.size() && rc == SQLITE_OK; ++i) {
      const int index = static_cast<int>(i + 1);
      const RawValue& v = row[i];
      if (const auto* s = std::get_if<std::string>(&v))
        rc = sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_STATIC);
      else if (const auto* n = std::get_if<std::int64_t>(&v))
        rc = sqlite3_bind_int64(stmt, index, *n);
      else if (const auto* d = std::get_if<double>(&v))
        rc = sqlite3_bind_double(stmt, index, *d);
      else if (const auto* b = std::get_if<Bytes>(&v))
        rc = sqlite3_bind_blob64(stmt, index, b->data(), b->size(), SQLITE_STATIC);
      else
        rc = sqlite3_bind_null(stmt, index);
    }
    return rc;
  }
  static RawValue column(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
      case SQLITE_INTEGER:
        return static_cast<std::int64_t>(sqlite3_column_int64(stmt, i));
      case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, i);
      case SQLITE_TEXT: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        return std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
      }
      case SQLITE_BLOB: {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt, i));
        const auto n = static_cast<std::size_t>(sqlite3_column_bytes(stmt, i));
        return p ? Bytes(p, p + n) : Bytes();
      }
      default:
        return std::monostate{};
    }
  }
  Error error(std::string_view what) const {
    return Error("raw SQLite " + std::string(what.substr(0, 60)) + ": " +
                 (db_ ? sqlite3_errmsg(db_) : "no connection"));
  }

  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> statements_;
};

}  // namespace qm::bench
