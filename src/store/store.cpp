#include "store/store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>
#include <utility>

#include "common/atomic_file.h"
#include "common/log.h"
#include "store/contact_queries.h"
#include "store/external_blobs.h"
#include "store/record_changes.h"
#include "store/schema.h"
#include "store/statement.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSqliteHeader{"SQLite format 3\0", 16};

std::string sqlType(FieldType t, bool external) {
  switch (t) {
    case FieldType::uuid:
    case FieldType::text:
    case FieldType::textList:
    case FieldType::enumText:
      return "TEXT";
    case FieldType::date:
    case FieldType::boolean:
    case FieldType::integer:
      return "INTEGER";
    case FieldType::decimal:
    case FieldType::float32:
      return "REAL";
    case FieldType::bytes:
      return external ? "TEXT" : "BLOB";
  }
  return "BLOB";
}

std::string ident(std::string_view name) {
  return "\"" + std::string(name) + "\"";
}

}  // namespace

Result<std::string> addedColumnsSQL(const TableSchema& s,
                                    const std::set<std::string, std::less<>>& present) {
  std::string sql;
  for (const auto& c : s.columns) {
    if (present.contains(c.name)) continue;
    // A column a newer build added to a table holding rows can only come in
    // empty: a required one, or one with a constraint, needs a real migration.
    if (!c.optional || c.options.unique || !c.options.references.empty())
      return Error(ErrorCode::dataLoss, "The store's table " + std::string(s.table) +
                                            " lacks the column " + std::string(c.name));
    sql += "ALTER TABLE " + ident(s.table) + " ADD COLUMN " + ident(c.name) + " " +
           sqlType(c.type, c.options.external) + ";";
  }
  return sql;
}

std::string createTableSQL(const TableSchema& s) {
  std::string sql = "CREATE TABLE IF NOT EXISTS " + ident(s.table) + " (";
  bool first = true;
  for (const auto& c : s.columns) {
    if (!first) sql += ", ";
    first = false;
    sql += ident(c.name) + " " + sqlType(c.type, c.options.external);
    if (!c.optional) sql += " NOT NULL";
    if (c.options.unique) sql += " UNIQUE";
    if (!c.options.references.empty()) {
      sql += " REFERENCES " + ident(c.options.references) + "(\"id\") ON DELETE ";
      sql += c.options.onDelete == DeleteRule::cascade ? "CASCADE" : "SET NULL";
    }
  }
  sql += ");";
  for (const auto& c : s.columns) {
    if (c.options.references.empty()) continue;
    sql += " CREATE INDEX IF NOT EXISTS " +
           ident(std::string(s.table) + "_" + std::string(c.name)) + " ON " + ident(s.table) +
           " (" + ident(c.name) + ");";
  }
  return sql;
}

namespace {

/// What a caller can do about an SQLite failure: a file it may not write, a
/// damaged file, a full disk, or anything else.
ErrorCode errorCodeOfSQLite(int extended) {
  switch (extended & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
      return ErrorCode::permissionDenied;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return ErrorCode::dataLoss;
    case SQLITE_FULL:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_IOERR:
      return ErrorCode::unavailable;
    case SQLITE_INTERRUPT:
      return ErrorCode::cancelled;
    default:
      return ErrorCode::internal;
  }
}

}  // namespace

struct Store::Impl {
  fs::path file;
  sqlite3* db = nullptr;
  StatementCache statements{nullptr};
  /// The write statements of each table, built once: (schema, mode) → statement.
  std::map<std::pair<const TableSchema*, int>, Statement> writeStatements;
  ExternalBlobs blobs;
  /// Rows written per table through this connection (counted by the update hook).
  std::map<std::string, std::int64_t, std::less<>> tableChanges;
  /// The rows of the followed tables written by the open transaction, logged
  /// when it commits (record_changes.h).
  std::vector<RecordChange> pendingChanges;
  /// Set while a write of sync bookkeeping only runs: not logged.
  bool bookkeepingOnly = false;
  /// The file opened (device, inode), to notice when it is gone.
  std::optional<std::pair<dev_t, ino_t>> opened;
  bool fileGoneLogged = false;

  explicit Impl(const fs::path& storeFile) : file(storeFile), blobs(storeFile) {}

  ~Impl() {
    // Statements first: a connection closes fully only once they are finalized.
    statements.clear();
    writeStatements.clear();
    if (db) sqlite3_close_v2(db);
  }

  Error sqlError(std::string_view what) const {
    return Error(errorCodeOfSQLite(sqlite3_extended_errcode(db)),
                 std::string(what) + ": " + sqlite3_errmsg(db));
  }

  Status exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      std::string text = message ? message : sqlite3_errmsg(db);
      sqlite3_free(message);
      return Error(text);
    }
    return {};
  }

  Result<Statement::Use> prepare(const std::string& sql) {
    auto use = statements.use(sql);
    if (!use) return Error("Could not prepare a store query: " + use.error().message);
    return use;
  }

  Status bind(sqlite3_stmt* stmt, int index, const TableSchema::Column& column,
              const FieldValue& value) {
    int rc = SQLITE_OK;
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::monostate>) {
            rc = sqlite3_bind_null(stmt, index);
          } else if constexpr (std::is_same_v<T, Uuid>) {
            std::string text = v.str();
            rc = sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                                   SQLITE_TRANSIENT);
          } else if constexpr (std::is_same_v<T, std::string>) {
            rc =
                sqlite3_bind_text(stmt, index, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
          } else if constexpr (std::is_same_v<T, Date>) {
            rc = sqlite3_bind_int64(stmt, index, unixMicros(v));
          } else if constexpr (std::is_same_v<T, bool>) {
            rc = sqlite3_bind_int(stmt, index, v ? 1 : 0);
          } else if constexpr (std::is_same_v<T, std::int64_t>) {
            rc = sqlite3_bind_int64(stmt, index, v);
          } else if constexpr (std::is_same_v<T, double>) {
            rc = sqlite3_bind_double(stmt, index, v);
          } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
            std::string text = nlohmann::json(v).dump();
            rc = sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                                   SQLITE_TRANSIENT);
          } else if constexpr (std::is_same_v<T, Bytes>) {
            if (column.options.external) {
              auto name = blobs.write(v);
              if (!name) {
                rc = SQLITE_IOERR;
                return;
              }
              rc = sqlite3_bind_text(stmt, index, name->data(), static_cast<int>(name->size()),
                                     SQLITE_TRANSIENT);
            } else {
              rc = sqlite3_bind_blob64(stmt, index, v.data(), v.size(), SQLITE_STATIC);
            }
          }
        },
        value);
    if (rc != SQLITE_OK)
      return Error("Could not store " + std::string(column.name) +
                   (rc == SQLITE_IOERR ? ": the external data file could not be written"
                                       : std::string(": ") + sqlite3_errstr(rc)));
    return {};
  }

  Result<FieldValue> column(sqlite3_stmt* stmt, int index, const TableSchema::Column& c) {
    if (sqlite3_column_type(stmt, index) == SQLITE_NULL) return FieldValue{};
    auto text = [&] {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
      return std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)));
    };
    switch (c.type) {
      case FieldType::uuid: {
        auto u = Uuid::parse(text());
        if (!u) break;
        return FieldValue{*u};
      }
      case FieldType::text:
      case FieldType::enumText:
        return FieldValue{text()};
      case FieldType::date:
        return FieldValue{Date(std::chrono::microseconds(sqlite3_column_int64(stmt, index)))};
      case FieldType::boolean:
        return FieldValue{sqlite3_column_int64(stmt, index) != 0};
      case FieldType::integer:
        return FieldValue{static_cast<std::int64_t>(sqlite3_column_int64(stmt, index))};
      case FieldType::decimal:
      case FieldType::float32:
        return FieldValue{sqlite3_column_double(stmt, index)};
      case FieldType::textList: {
        // Most lists are empty; no parser needed for those.
        if (sqlite3_column_bytes(stmt, index) == 2 &&
            std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(stmt, index)), 2) ==
                "[]")
          return FieldValue{std::vector<std::string>{}};
        auto doc = nlohmann::json::parse(text(), nullptr, false);
        if (!doc.is_array()) break;
        std::vector<std::string> list;
        for (const auto& item : doc) {
          if (!item.is_string()) return Error("Unreadable list in " + std::string(c.name));
          list.push_back(item.get<std::string>());
        }
        return FieldValue{std::move(list)};
      }
      case FieldType::bytes: {
        if (c.options.external) {
          auto data = blobs.read(text());
          return data ? FieldValue{std::move(*data)} : FieldValue{};
        }
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt, index));
        return FieldValue{Bytes(p, p + sqlite3_column_bytes(stmt, index))};
      }
    }
    return Error("The store holds an unreadable value in " + std::string(c.name));
  }

  /// " WHERE a IS ?1 AND b IS ?2" for the conditions, checked against the schema.
  Result<std::string> whereClause(const TableSchema& schema, const std::vector<Match>& where,
                                  std::vector<const TableSchema::Column*>& columns) {
    std::string sql;
    for (const auto& m : where) {
      const TableSchema::Column* col = nullptr;
      for (const auto& c : schema.columns)
        if (c.name == m.field) col = &c;
      if (!col)
        return Error("Unknown field " + std::string(m.field) + " of " + std::string(schema.table));
      sql += columns.empty() ? " WHERE " : " AND ";
      sql += ident(col->name) + " IS ?";
      columns.push_back(col);
    }
    return sql;
  }

  Status bindMatches(sqlite3_stmt* stmt, const std::vector<Match>& where,
                     const std::vector<const TableSchema::Column*>& columns) {
    for (std::size_t i = 0; i < where.size(); ++i) {
      TableSchema::Column c = *columns[i];
      c.options.external = false;  // compare names, never write files for a condition
      QM_TRY(bind(stmt, static_cast<int>(i + 1), c, where[i].value));
    }
    return {};
  }
};

namespace {

/// Called by the store's triggers when a row stops referring to an external
/// data file (row deleted, also through a cascade, or field replaced).
void releaseBlob(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  auto* impl = static_cast<Store::Impl*>(sqlite3_user_data(ctx));
  if (argc == 1 && sqlite3_value_type(argv[0]) == SQLITE_TEXT)
    impl->blobs.release(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
  sqlite3_result_null(ctx);
}

/// SQLite calls this for every row written through this connection, also by
/// cascades; counting per table, and collecting the positions the change log
/// names, is cheaper than a trigger per row.
void countTableChange(void* user, int, const char*, const char* table, sqlite3_int64 rowid) {
  auto* impl = static_cast<Store::Impl*>(user);
  auto it = impl->tableChanges.find(std::string_view(table));
  if (it == impl->tableChanges.end()) it = impl->tableChanges.emplace(table, 0).first;
  ++it->second;
  if (impl->bookkeepingOnly) return;
  if (const auto followed = followedTable(table))
    impl->pendingChanges.push_back({*followed, rowid});
}

Status checkHeader(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return {};
  if (!fs::is_regular_file(file, ec)) return Error(file.string() + " is not a file");
  if (fs::file_size(file, ec) == 0) return {};
  std::ifstream in(file, std::ios::binary);
  std::array<char, 16> header{};
  if (!in.read(header.data(), header.size()))
    return Error("file is not a database (" + file.string() + " is too short)");
  if (std::string_view(header.data(), header.size()) != kSqliteHeader)
    return Error("file is not a database (" + file.string() + ")");
  return {};
}

}  // namespace

Store::Store(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Store::~Store() = default;

const fs::path& Store::file() const {
  return impl_->file;
}
fs::path Store::externalDataFolder() const {
  return impl_->blobs.folder();
}

Result<std::unique_ptr<Store>> Store::open(const fs::path& file) {
  // Look before SQLite does: it must never write WAL files next to, or into,
  // something that is not a store.
  QM_TRY(checkHeader(file));
  std::error_code ec;
  if (file.has_parent_path()) createPrivateFolders(file.parent_path(), ec);

  // A new store is this user's alone; SQLite gives its -wal and -shm files
  // the main file's mode.
  if (const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); fd >= 0)
    ::close(fd);
  return openAnother(file);
}

Status Store::readWithLittleMemory() {
  return impl_->exec("PRAGMA mmap_size=0; PRAGMA cache_size=-6144;");
}

Result<std::unique_ptr<Store>> Store::openAnother(const fs::path& file) {
  auto impl = std::make_unique<Impl>(file);
  int rc = sqlite3_open_v2(
      file.c_str(), &impl->db,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE,
      nullptr);
  if (rc != SQLITE_OK) {
    return Error(errorCodeOfSQLite(rc),
                 "Could not open the store " + file.string() + ": " +
                     (impl->db ? sqlite3_errmsg(impl->db) : sqlite3_errstr(rc)));
  }
  // SQLite quietly opens a file it may not write for reading only; every
  // change would then fail, one by one, long after the start.
  if (sqlite3_db_readonly(impl->db, "main") == 1) {
    return Error(ErrorCode::permissionDenied,
                 "The store " + file.string() +
                     " can be read but not written: make it and its folder yours and "
                     "writable, then try again");
  }
  if (struct stat st{}; ::stat(file.c_str(), &st) == 0) impl->opened = {st.st_dev, st.st_ino};
  // A write waits for another connection's transaction rather than failing:
  // the longest is the companion writing a whole event snapshot on its ingest
  // thread (a frame's worth of contacts takes seconds, more in a debug build).
  sqlite3_busy_timeout(impl->db, 60'000);
  impl->statements = StatementCache(impl->db);

  // WAL keeps readers (the command-line tools) and the companion out of each
  // other's way; FULL sync so a committed contact survives a power cut.
  {
    auto walMode = Statement::prepare(impl->db, "PRAGMA journal_mode=WAL");
    if (!walMode) return Error("Could not open the store: " + walMode.error().message);
    auto stmt = walMode->use();
    rc = sqlite3_step(stmt);
    std::string mode = rc == SQLITE_ROW
                           ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))
                           : std::string();
    if (rc != SQLITE_ROW) return impl->sqlError("Could not open the store " + file.string());
    if (mode != "wal") return Error("The store could not switch to write-ahead logging");
  }
  // secure_delete=FAST still zeroes deleted content in the pages a delete
  // writes anyway, without the extra I/O of overwriting every freed page
  // (a cascade over 10,000 contacts would otherwise write ~100 MB of zeros).
  // A page cache of 16 MiB rather than SQLite's 2 MiB keeps the pages of the
  // contact indexes (contact_queries.h) at hand while a large transaction
  // writes through them all, instead of spilling and reading them back.
  QM_TRY(
      impl->exec("PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL; PRAGMA secure_delete=FAST; "
                 "PRAGMA mmap_size=268435456; PRAGMA cache_size=-16384;"));

  auto store = std::unique_ptr<Store>(new Store(std::move(impl)));
  QM_TRY(store->transaction([&]() -> Status {
    QM_TRY(store->impl_->exec(
        "CREATE TABLE IF NOT EXISTS StoreMetadata (key TEXT PRIMARY KEY, value TEXT NOT NULL);"));
    for (const TableSchema* schema : storeSchema()) {
      QM_TRY(store->impl_->exec(createTableSQL(*schema)));
      // A store written before a record gained an optional field gets the
      // field's column, empty for the records it holds.
      auto columns = QM_TRY(store->impl_->prepare("SELECT name FROM pragma_table_info('" +
                                                  std::string(schema->table) + "')"));
      std::set<std::string, std::less<>> present;
      while (sqlite3_step(columns) == SQLITE_ROW)
        present.emplace(reinterpret_cast<const char*>(sqlite3_column_text(columns, 0)));
      if (const std::string added = QM_TRY(addedColumnsSQL(*schema, present)); !added.empty())
        QM_TRY(store->impl_->exec(added));
    }
    QM_TRY(store->impl_->exec(contactQueryIndexSQL()));
    QM_TRY(installRecordChangeLog(*store));
    auto version = store->schemaVersion();
    if (!version) {
      return store->impl_->exec(
          "INSERT INTO StoreMetadata (key, value) VALUES ('schemaVersion', '" +
          std::string(kSchemaVersion) + "'); PRAGMA user_version = 1;");
    }
    if (*version != kSchemaVersion)
      return Error("The store has schema version " + *version + ", this build reads " +
                   std::string(kSchemaVersion));
    return {};
  }));

  // Triggers that tell the store when an external data file is no longer used.
  // They are temporary (per connection) so the file stays usable without them.
  Impl& im = *store->impl_;
  if (sqlite3_create_function(im.db, "qm_release_blob", 1, SQLITE_UTF8, &im, releaseBlob, nullptr,
                              nullptr) != SQLITE_OK)
    return im.sqlError("Could not open the store");
  // Per-table change counts, so derived data (indexes of contacts) survives
  // writes to unrelated tables such as the MCP access log.
  sqlite3_update_hook(im.db, countTableChange, &im);
  for (const TableSchema* schema : storeSchema()) {
    for (const auto& c : schema->columns) {
      if (!c.options.external) continue;
      std::string t = ident(schema->table), col = ident(c.name);
      std::string base = std::string(schema->table) + "_" + std::string(c.name);
      QM_TRY(im.exec("CREATE TEMP TRIGGER IF NOT EXISTS " + ident(base + "_deleted") +
                     " AFTER DELETE ON main." + t + " WHEN OLD." + col +
                     " IS NOT NULL BEGIN SELECT qm_release_blob(OLD." + col + "); END;"));
      QM_TRY(im.exec("CREATE TEMP TRIGGER IF NOT EXISTS " + ident(base + "_replaced") +
                     " AFTER UPDATE OF " + col + " ON main." + t + " WHEN OLD." + col +
                     " IS NOT NULL AND OLD." + col + " IS NOT NEW." + col +
                     " BEGIN SELECT qm_release_blob(OLD." + col + "); END;"));
    }
  }

  // Remove external data files that no row refers to: left by a crash between
  // a commit and the file's removal, or written by a transaction that died.
  std::set<std::string> referenced;
  for (const TableSchema* schema : storeSchema()) {
    for (const auto& c : schema->columns) {
      if (!c.options.external) continue;
      auto stmt = QM_TRY(im.prepare("SELECT " + ident(c.name) + " FROM " + ident(schema->table) +
                                    " WHERE " + ident(c.name) + " IS NOT NULL"));
      while (sqlite3_step(stmt) == SQLITE_ROW)
        referenced.emplace(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
  }
  im.blobs.removeUnreferenced(referenced);
  return store;
}

Result<std::string> Store::schemaVersion() {
  auto stmt = QM_TRY(impl_->prepare("SELECT value FROM StoreMetadata WHERE key = 'schemaVersion'"));
  if (sqlite3_step(stmt) != SQLITE_ROW) return Error("The store records no schema version");
  return std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
}

Result<std::optional<std::string>> Store::recordedSchemaVersion(const std::filesystem::path& file) {
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
  const auto failure = [&] {
    return Error(ErrorCode::dataLoss, "Could not read " + file.string() + ": " +
                                          (db ? sqlite3_errmsg(db.get()) : "out of memory"));
  };
  if (opened != SQLITE_OK) return failure();
  sqlite3_stmt* rawStmt = nullptr;
  const int prepared =
      sqlite3_prepare_v2(db.get(), "SELECT value FROM StoreMetadata WHERE key = 'schemaVersion'",
                         -1, &rawStmt, nullptr);
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(rawStmt, sqlite3_finalize);
  if (prepared != SQLITE_OK) {
    // A database without the metadata table is a store of an older layout.
    if (sqlite3_errcode(db.get()) == SQLITE_ERROR) return std::optional<std::string>();
    return failure();
  }
  const int stepped = sqlite3_step(stmt.get());
  if (stepped == SQLITE_DONE) return std::optional<std::string>();
  if (stepped != SQLITE_ROW) return failure();
  return std::optional<std::string>(
      reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)));
}

Status Store::checkFile() {
  Impl& im = *impl_;
  if (!im.opened) return {};
  struct stat st {};
  if (::stat(im.file.c_str(), &st) == 0 && std::pair(st.st_dev, st.st_ino) == *im.opened) {
    im.fileGoneLogged = false;
    return {};
  }
  Error gone(ErrorCode::dataLoss,
             "The store " + im.file.string() +
                 " was deleted or replaced while Quillmere was running; changes are no longer "
                 "saved. Put the data folder back, or restart Quillmere to begin again with an "
                 "empty store (the phone must then be paired again).");
  if (!std::exchange(im.fileGoneLogged, true)) log::data().error("{}", gone.message);
  return gone;
}

Status Store::transaction(const std::function<Status()>& body, Durability durability) {
  Impl& im = *impl_;
  const bool outermost = im.blobs.depth() == 0;
  if (outermost) QM_TRY(checkFile());
  if (outermost && durability == Durability::relaxed) {
    // WAL at NORMAL commits without syncing; the setting goes back to FULL
    // however the transaction ends.
    QM_TRY(im.exec("PRAGMA synchronous=NORMAL"));
    Status result = transaction(body, Durability::full);
    if (Status restored = im.exec("PRAGMA synchronous=FULL"); !restored && result) return restored;
    return result;
  }
  const std::string savepoint = "qm_level_" + std::to_string(im.blobs.depth());
  QM_TRY(im.exec(outermost ? "BEGIN IMMEDIATE" : "SAVEPOINT " + savepoint));
  im.blobs.beginLevel();

  Status result = body();
  if (result && outermost) {
    // The rows written are logged in the same commit.
    const std::vector<RecordChange> changes = std::exchange(im.pendingChanges, {});
    result = appendRecordChanges(*this, changes);
  }
  if (result) {
    Status ended = im.exec(outermost ? "COMMIT" : "RELEASE " + savepoint);
    if (ended) {
      im.blobs.commitLevel();
      return {};
    }
    result = Error("Could not save: " + ended.error().message);
  }

  if (outermost) {
    (void)im.exec("ROLLBACK");
    im.pendingChanges.clear();
  } else {
    (void)im.exec("ROLLBACK TO " + savepoint + "; RELEASE " + savepoint);
  }
  im.blobs.rollbackLevel();
  return result;
}

void Store::stopWhen(const std::atomic<bool>& stop) {
  // Asked every thousand virtual-machine steps: a statement ends within
  // microseconds of the request, and a step costs nothing more meanwhile.
  sqlite3_progress_handler(
      impl_->db, 1000,
      [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
      const_cast<std::atomic<bool>*>(&stop));
}

namespace {

std::string writeSQL(const TableSchema& schema, int mode) {
  std::string names, params, updates, idParam;
  for (std::size_t i = 0; i < schema.columns.size(); ++i) {
    const auto& c = schema.columns[i];
    const std::string param = "?" + std::to_string(i + 1);
    if (i) names += ", ", params += ", ";
    names += ident(c.name);
    params += param;
    if (c.name == "id") {
      idParam = param;
    } else {
      if (!updates.empty()) updates += ", ";
      updates += ident(c.name) + " = " + param;
    }
  }
  const std::string insert =
      "INSERT INTO " + ident(schema.table) + " (" + names + ") VALUES (" + params + ")";
  switch (mode) {
    case 0:
      return insert;
    case 1:
      return "UPDATE " + ident(schema.table) + " SET " + updates + " WHERE \"id\" = " + idParam;
    default:
      return insert + " ON CONFLICT(\"id\") DO UPDATE SET " + updates;
  }
}

}  // namespace

Status Store::atomically(const std::function<Status()>& body) {
  Impl& im = *impl_;
  if (im.blobs.depth() == 0) return transaction(body);
  // Inside a transaction one statement is atomic by itself; a savepoint per
  // write would only cost time. Undo this write's bookkeeping if it fails.
  const ExternalBlobs::Mark mark = im.blobs.mark();
  Status status = body();
  if (!status) im.blobs.undoTo(mark);
  return status;
}

Status Store::writeRow(const TableSchema& schema, std::vector<FieldValue> row, WriteMode mode) {
  return atomically([&]() -> Status {
    Impl& im = *impl_;
    const int m = static_cast<int>(mode);
    Statement& prepared = im.writeStatements[{&schema, m}];
    if (!prepared) {
      auto made = Statement::prepare(im.db, writeSQL(schema, m));
      if (!made) return Error("Could not prepare a store query: " + made.error().message);
      prepared = std::move(made).value();
    }
    auto stmt = prepared.use();
    for (std::size_t i = 0; i < row.size(); ++i)
      QM_TRY(im.bind(stmt, static_cast<int>(i + 1), schema.columns[i], row[i]));
    if (sqlite3_step(stmt) != SQLITE_DONE)
      return im.sqlError("Could not save " + std::string(schema.table));
    if (mode == WriteMode::update && sqlite3_changes(im.db) == 0)
      return Error("Could not save " + std::string(schema.table) + ": no record with this id");
    return {};
  });
}

Status Store::writeFields(const TableSchema& schema, const Uuid& id,
                          const std::vector<std::size_t>& only, std::vector<FieldValue> values) {
  return atomically([&]() -> Status {
    Impl& im = *impl_;
    std::string sql = "UPDATE " + ident(schema.table) + " SET ";
    for (std::size_t k = 0; k < only.size(); ++k)
      sql +=
          (k ? ", " : "") + ident(schema.columns.at(only[k]).name) + " = ?" + std::to_string(k + 2);
    auto stmt = QM_TRY(im.prepare(sql + " WHERE \"id\" = ?1"));
    const auto idColumn = std::find_if(schema.columns.begin(), schema.columns.end(),
                                       [](const auto& c) { return c.name == "id"; });
    QM_TRY(im.bind(stmt, 1, *idColumn, FieldValue{id}));
    for (std::size_t k = 0; k < only.size(); ++k)
      QM_TRY(im.bind(stmt, static_cast<int>(k + 2), schema.columns.at(only[k]), values[k]));
    im.bookkeepingOnly = std::ranges::all_of(
        only, [&](std::size_t k) { return isBookkeepingColumn(schema.columns.at(k).name); });
    const int rc = sqlite3_step(stmt);
    im.bookkeepingOnly = false;
    if (rc != SQLITE_DONE) return im.sqlError("Could not save " + std::string(schema.table));
    if (sqlite3_changes(im.db) == 0)
      return Error("Could not save " + std::string(schema.table) + ": no record with this id");
    return {};
  });
}

Status Store::deleteRows(const TableSchema& schema, const std::vector<Match>& where) {
  return atomically([&]() -> Status {
    Impl& im = *impl_;
    std::vector<const TableSchema::Column*> columns;
    auto clause = im.whereClause(schema, where, columns);
    if (!clause) return clause.error();
    auto stmt = QM_TRY(im.prepare("DELETE FROM " + ident(schema.table) + *clause));
    QM_TRY(im.bindMatches(stmt, where, columns));
    if (sqlite3_step(stmt) != SQLITE_DONE)
      return im.sqlError("Could not delete from " + std::string(schema.table));
    // Deleting a whole table may skip the per-row update hook; count it as a
    // change of every table, since cascades may have reached them too.
    if (where.empty()) {
      for (const TableSchema* t : storeSchema()) {
        ++im.tableChanges[std::string(t->table)];
        if (const auto followed = followedTable(t->table))
          im.pendingChanges.push_back({*followed, 0});
      }
    }
    return {};
  });
}

Status Store::selectRows(const TableSchema& schema, const std::vector<std::size_t>* only,
                         const std::vector<Match>& where,
                         const std::function<Status(Position, std::vector<FieldValue>&)>& sink) {
  Impl& im = *impl_;
  std::vector<const TableSchema::Column*> columns;
  auto clause = im.whereClause(schema, where, columns);
  if (!clause) return clause.error();
  std::vector<const TableSchema::Column*> selected;
  if (only) {
    for (std::size_t i : *only) selected.push_back(&schema.columns.at(i));
  } else {
    for (const auto& c : schema.columns) selected.push_back(&c);
  }
  std::string names;
  for (const auto* c : selected) names += (names.empty() ? "" : ", ") + ident(c->name);
  const auto positionColumn = static_cast<int>(selected.size());
  auto stmt = QM_TRY(im.prepare("SELECT " + names + ", rowid FROM " + ident(schema.table) +
                                *clause + " ORDER BY rowid"));
  QM_TRY(im.bindMatches(stmt, where, columns));

  std::vector<FieldValue> row(selected.size());
  Status status;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (std::size_t i = 0; i < selected.size(); ++i) {
      auto value = im.column(stmt, static_cast<int>(i), *selected[i]);
      if (!value) {
        status = Error(std::string(schema.table) + ": " + value.error().message);
        break;
      }
      row[i] = std::move(*value);
    }
    if (!status) break;
    status = sink(sqlite3_column_int64(stmt, positionColumn), row);
    if (!status) break;
  }
  if (status && rc != SQLITE_DONE)
    status = im.sqlError("Could not read " + std::string(schema.table));
  return status;
}

Status Store::selectRowsAt(const TableSchema& schema, const std::vector<std::size_t>& only,
                           const std::vector<Position>& positions,
                           const std::function<Status(Position, std::vector<FieldValue>&)>& sink) {
  Impl& im = *impl_;
  std::string names;
  for (std::size_t i : only)
    names += (names.empty() ? "" : ", ") + ident(schema.columns.at(i).name);
  auto stmt =
      QM_TRY(im.prepare("SELECT " + names + " FROM " + ident(schema.table) + " WHERE rowid = ?1"));
  std::vector<FieldValue> row(only.size());
  for (const Position position : positions) {
    sqlite3_reset(stmt);
    sqlite3_bind_int64(stmt, 1, position);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) continue;  // gone since the position was found
    if (rc != SQLITE_ROW) return im.sqlError("Could not read " + std::string(schema.table));
    for (std::size_t i = 0; i < only.size(); ++i) {
      auto value = im.column(stmt, static_cast<int>(i), schema.columns.at(only[i]));
      if (!value) return Error(std::string(schema.table) + ": " + value.error().message);
      row[i] = std::move(*value);
    }
    QM_TRY(sink(position, row));
  }
  return {};
}

Result<Statement::Use> Store::statement(const std::string& sql) {
  return impl_->prepare(sql);
}

Result<Store::ChangeStamp> Store::changeStamp(std::string_view table) {
  Impl& im = *impl_;
  auto stmt = QM_TRY(im.prepare("PRAGMA data_version"));
  if (sqlite3_step(stmt) != SQLITE_ROW) return im.sqlError("Could not read the store's version");
  const std::int64_t version = sqlite3_column_int64(stmt, 0);
  auto counted = im.tableChanges.find(table);
  return ChangeStamp{version, counted == im.tableChanges.end() ? 0 : counted->second};
}

Result<std::int64_t> Store::countRows(const TableSchema& schema, const std::vector<Match>& where) {
  Impl& im = *impl_;
  std::vector<const TableSchema::Column*> columns;
  auto clause = im.whereClause(schema, where, columns);
  if (!clause) return clause.error();
  auto stmt = QM_TRY(im.prepare("SELECT COUNT(*) FROM " + ident(schema.table) + *clause));
  QM_TRY(im.bindMatches(stmt, where, columns));
  if (sqlite3_step(stmt) != SQLITE_ROW)
    return im.sqlError("Could not count " + std::string(schema.table));
  return static_cast<std::int64_t>(sqlite3_column_int64(stmt, 0));
}

}  // namespace qm
