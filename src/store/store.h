#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "store/field.h"
#include "store/statement.h"

namespace qm {

/// A condition on a declared field: `field` equals `value` (an absent value
/// matches absent fields). Enumerations compare by raw text.
struct Match {
  std::string_view field;
  FieldValue value;
};

/// A record read with its place in stored order (`Store::Position`).
template <class R>
struct Positioned {
  std::int64_t position = 0;
  R record;
};

/// The column layout of one record kind, taken from its field table.
struct TableSchema {
  struct Column {
    std::string_view name;
    FieldType type;
    bool optional;
    FieldOptions options;
  };
  std::string_view table;
  std::vector<Column> columns;
};

/// The one local store: an SQLite file in WAL mode holding the twelve record
/// kinds. Each write is a committed transaction of its own unless it runs inside
/// `transaction()`; a failed write leaves the file as it was. Relationships are
/// foreign keys from the owned record to its owner's `id`; deleting an owner
/// deletes what it owns. "Stored order" is insertion order.
///
/// Single-threaded: use it from the thread that opened it. Other processes
/// (the command-line tools) may open the same file at the same time.
class Store {
 public:
  static constexpr std::string_view kSchemaVersion = "1.0.0";

  /// Opens or creates the store at `file`. A file that is not a store is refused
  /// without being changed.
  static Result<std::unique_ptr<Store>> open(const std::filesystem::path& file);
  /// Another connection to the store at `file` that this process already has
  /// open, for a thread of its own. Unlike `open` it reads nothing of the file
  /// by other means: closing a descriptor of the file drops every lock this
  /// process holds on it, those SQLite keeps for the open connections too, and
  /// another program could then take the write-ahead log away from under them.
  static Result<std::unique_ptr<Store>> openAnother(const std::filesystem::path& file);
  /// Reads the file through a smaller page cache (6 MiB) instead of mapping
  /// up to 256 MiB of it and caching 16 MiB: for a process that reads a list
  /// at a time and whose resident memory counts (the window). Less cache than
  /// that slows the first paint of a large dashboard.
  Status readWithLittleMemory();
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::filesystem::path& file() const;
  /// The folder beside the main file that holds fields stored externally.
  std::filesystem::path externalDataFolder() const;
  /// The schema version recorded in the file.
  Result<std::string> schemaVersion();
  /// The schema version recorded in the store at `file`, read without
  /// changing anything; nothing when the file records none (a store of an
  /// older layout). Fails when the file cannot be read as a database.
  static Result<std::optional<std::string>> recordedSchemaVersion(
      const std::filesystem::path& file);

  /// Adds a new record; fails if its `id` (or another unique field) is taken.
  template <Record R>
  Status insert(const R& record) {
    return writeRow(schemaOf<R>(), toRow(record), WriteMode::insert);
  }
  /// Replaces the stored record with the same `id`; fails if there is none.
  template <Record R>
  Status update(const R& record) {
    return writeRow(schemaOf<R>(), toRow(record), WriteMode::update);
  }
  /// Inserts the record or, when its `id` exists, updates it in place (keeping
  /// its position and everything that points at it).
  /// Writes only the named fields of the stored record with the same `id`;
  /// fails if there is none. For writes that touch a few fields of large
  /// records, such as the sync time of a contact that a sync left unchanged.
  template <Record R>
  Status updateOnly(const R& record, const std::vector<std::string_view>& fieldNames) {
    auto only = fieldIndexes<R>(fieldNames);
    if (!only) return only.error();
    const auto& fields = RecordInfo<R>::fields();
    std::vector<FieldValue> values;
    values.reserve(only->size());
    for (std::size_t i : *only) values.push_back(fields[i].get(record));
    return writeFields(schemaOf<R>(), record.id, *only, std::move(values));
  }
  template <Record R>
  Status save(const R& record) {
    return writeRow(schemaOf<R>(), toRow(record), WriteMode::upsert);
  }
  /// Deletes the record with `id` and everything it owns. Deleting a record
  /// that does not exist is no error.
  template <Record R>
  Status remove(const Uuid& id) {
    return deleteRows(schemaOf<R>(), {Match{"id", id}});
  }
  /// Deletes every record matching all `where` conditions (and what they own).
  template <Record R>
  Status removeWhere(const std::vector<Match>& where) {
    return deleteRows(schemaOf<R>(), where);
  }

  template <Record R>
  Result<std::optional<R>> find(const Uuid& id) {
    auto rows = fetch<R>({Match{"id", id}});
    if (!rows) return rows.error();
    if (rows->empty()) return std::optional<R>{};
    return std::optional<R>{std::move(rows->front())};
  }
  /// Records matching all conditions, in stored order.
  template <Record R>
  Result<std::vector<R>> fetch(const std::vector<Match>& where = {}) {
    return fetchColumns<R>(nullptr, where);
  }
  /// Like `fetch`, but reads only the named fields; the others keep the values of
  /// a default-made record. For lists and indexes that need a few fields of many
  /// records.
  template <Record R>
  Result<std::vector<R>> fetchOnly(const std::vector<std::string_view>& fieldNames,
                                   const std::vector<Match>& where = {}) {
    auto only = fieldIndexes<R>(fieldNames);
    if (!only) return only.error();
    return fetchColumns<R>(&*only, where);
  }

  /// A record's place in stored order (its SQLite rowid). The store's own indexed
  /// queries (contact_queries.h) find records by position rather than reading them.
  using Position = std::int64_t;

  /// Like `fetchOnly`, but reads the records at `positions`, in that order;
  /// a position that holds no record (any more) is skipped.
  template <Record R>
  Result<std::vector<R>> fetchOnlyAt(const std::vector<std::string_view>& fieldNames,
                                     const std::vector<Position>& positions) {
    auto only = fieldIndexes<R>(fieldNames);
    if (!only) return only.error();
    std::vector<R> out;
    out.reserve(positions.size());
    Status status = selectRowsAt(schemaOf<R>(), *only, positions,
                                 [&](Position, std::vector<FieldValue>& row) -> Status {
                                   R record{};
                                   QM_TRY(setFields(record, &*only, row));
                                   out.push_back(std::move(record));
                                   return {};
                                 });
    if (!status) return status.error();
    return out;
  }
  /// Like `fetchOnly`, with each record's position: for data derived from the
  /// store that follows its changes record by record (`recordChangesSince`).
  template <Record R>
  Result<std::vector<Positioned<R>>> fetchPositioned(
      const std::vector<std::string_view>& fieldNames, const std::vector<Match>& where = {}) {
    auto only = fieldIndexes<R>(fieldNames);
    if (!only) return only.error();
    std::vector<Positioned<R>> out;
    // Records are large: reserved once rather than moved at every growth.
    if (auto n = count<R>(where); n.ok()) out.reserve(static_cast<std::size_t>(*n));
    Status status = selectRows(schemaOf<R>(), &*only, where, readingInto(out, *only));
    if (!status) return status.error();
    return out;
  }
  /// Like `fetchPositioned`, but hands each record to `visit` as it is read
  /// rather than keeping them all, for a caller that keeps only part of each:
  /// memory then follows what it keeps, not the records. The record passed is
  /// one reused for every row (the named fields set anew each time); `visit`
  /// may move from it but must not use the store. An error from `visit` ends
  /// the read and is returned.
  template <Record R>
  Status forEachPositioned(const std::vector<std::string_view>& fieldNames,
                           const std::vector<Match>& where,
                           const std::function<Status(Position, R&)>& visit) {
    auto only = fieldIndexes<R>(fieldNames);
    if (!only) return only.error();
    R record{};
    return selectRows(schemaOf<R>(), &*only, where,
                      [&](Position position, std::vector<FieldValue>& row) -> Status {
                        QM_TRY(setFields(record, &*only, row));
                        return visit(position, record);
                      });
  }
  /// `forEachPositioned` for the records at `positions`, in that order; a
  /// position that holds no record (any more) is skipped.
  template <Record R>
  Status forEachPositionedAt(const std::vector<std::string_view>& fieldNames,
                             const std::vector<Position>& positions,
                             const std::function<Status(Position, R&)>& visit) {
    auto only = fieldIndexes<R>(fieldNames);
    if (!only) return only.error();
    R record{};
    return selectRowsAt(schemaOf<R>(), *only, positions,
                        [&](Position position, std::vector<FieldValue>& row) -> Status {
                          QM_TRY(setFields(record, &*only, row));
                          return visit(position, record);
                        });
  }
  /// Like `fetchOnlyAt`, with each record's position; a position that holds
  /// no record (any more) is missing from the result.
  template <Record R>
  Result<std::vector<Positioned<R>>> fetchPositionedAt(
      const std::vector<std::string_view>& fieldNames, const std::vector<Position>& positions) {
    auto only = fieldIndexes<R>(fieldNames);
    if (!only) return only.error();
    std::vector<Positioned<R>> out;
    out.reserve(positions.size());
    Status status = selectRowsAt(schemaOf<R>(), *only, positions, readingInto(out, *only));
    if (!status) return status.error();
    return out;
  }
  template <Record R>
  Result<std::int64_t> count(const std::vector<Match>& where = {}) {
    return countRows(schemaOf<R>(), where);
  }

  /// Changes whenever rows of `table` were written through this handle, or
  /// anything was committed by another process; lets callers keep derived data
  /// until what it derives from may have changed.
  struct ChangeStamp {
    std::int64_t otherConnections = 0;
    std::int64_t thisConnection = 0;
    friend bool operator==(const ChangeStamp&, const ChangeStamp&) = default;
  };
  Result<ChangeStamp> changeStamp(std::string_view table);

  /// How the commit of an outermost transaction reaches the disk.
  enum class Durability {
    /// Waits until the disk holds it: a committed record survives a power cut.
    full,
    /// Returns once the file holds it, without waiting for the disk: it
    /// survives the program crashing, but a power cut may take the last such
    /// commits away (the store stays consistent). For lines logged at every
    /// request, such as the MCP access log, where waiting for the disk would
    /// cost each request milliseconds. The next full commit takes them along.
    relaxed,
  };

  /// Runs `body` as one transaction: everything it wrote is committed when it
  /// succeeds and rolled back when it fails (its error is returned). Nests; a
  /// nested transaction is as durable as the outermost one. Fails without
  /// running `body` while `checkFile` fails.
  Status transaction(const std::function<Status()>& body, Durability durability = Durability::full);

  /// Whether the file at `file()` is still the one this store opened. Once it
  /// was deleted or replaced (its data folder removed while the companion
  /// runs), writes would land in a file no one sees again: this fails, the
  /// first time with an error line in the log, and so does every write until
  /// the file is back.
  Status checkFile();

  /// Once `stop` is true, every statement on this connection fails, so a long
  /// transaction running on another thread can be ended from outside: it
  /// fails and rolls back. `stop` must outlive the store.
  void stopWhen(const std::atomic<bool>& stop);

  /// The compiled statement for `sql` on this store's connection, kept for
  /// reuse. For the store library's own queries (contact_queries.cpp), which
  /// read through SQLite's interface.
  Result<Statement::Use> statement(const std::string& sql);

  /// The layout of record kind R.
  /// Implementation state; public only so the SQLite callbacks can reach it.
  struct Impl;

  template <Record R>
  static const TableSchema& schemaOf() {
    static const TableSchema schema = [] {
      TableSchema s{RecordInfo<R>::table, {}};
      for (const auto& f : RecordInfo<R>::fields())
        s.columns.push_back({f.name, f.type, f.optional, f.options});
      return s;
    }();
    return schema;
  }

 private:
  /// Appends each row read to `out` with its position (the fields `only`).
  template <Record R, typename Fields>
  static auto readingInto(std::vector<Positioned<R>>& out, const Fields& only) {
    return [&out, &only](Position position, std::vector<FieldValue>& row) -> Status {
      Positioned<R>& read = out.emplace_back();
      read.position = position;
      return setFields(read.record, &only, row);
    };
  }
  enum class WriteMode { insert, update, upsert };

  explicit Store(std::unique_ptr<Impl> impl);

  /// The positions in R's field list of the fields named.
  template <Record R>
  static Result<std::vector<std::size_t>> fieldIndexes(
      const std::vector<std::string_view>& fieldNames) {
    std::vector<std::size_t> only;
    const auto& fields = RecordInfo<R>::fields();
    for (auto name : fieldNames) {
      std::size_t i = 0;
      while (i < fields.size() && fields[i].name != name) ++i;
      if (i == fields.size())
        return Error("Unknown field " + std::string(name) + " of " +
                     std::string(RecordInfo<R>::table));
      only.push_back(i);
    }
    return only;
  }

  /// Sets the fields of `record` from the values read: all fields, or the ones
  /// `only` lists.
  template <Record R>
  static Status setFields(R& record, const std::vector<std::size_t>* only,
                          std::vector<FieldValue>& row) {
    const auto& fields = RecordInfo<R>::fields();
    for (std::size_t k = 0; k < row.size(); ++k) {
      const auto& field = fields[only ? (*only)[k] : k];
      if (!field.set(record, std::move(row[k])))
        return Error(std::string("The store holds an unreadable value in ") +
                     std::string(RecordInfo<R>::table) + "." + std::string(field.name));
    }
    return {};
  }

  template <Record R>
  Result<std::vector<R>> fetchColumns(const std::vector<std::size_t>* only,
                                      const std::vector<Match>& where) {
    std::vector<R> out;
    // Records are large; growing the vector would move each one several times.
    // A condition on `id` finds one record at most, and counting would cost a
    // second query.
    const bool byID =
        std::any_of(where.begin(), where.end(), [](const Match& m) { return m.field == "id"; });
    if (!byID) {
      if (auto n = count<R>(where); n.ok()) out.reserve(static_cast<std::size_t>(*n));
    }
    Status status = selectRows(schemaOf<R>(), only, where,
                               [&](Position, std::vector<FieldValue>& row) -> Status {
                                 R record{};
                                 QM_TRY(setFields(record, only, row));
                                 out.push_back(std::move(record));
                                 return {};
                               });
    if (!status) return status.error();
    return out;
  }

  template <Record R>
  static std::vector<FieldValue> toRow(const R& record) {
    std::vector<FieldValue> row;
    const auto& fields = RecordInfo<R>::fields();
    row.reserve(fields.size());
    for (const auto& f : fields) row.push_back(f.get(record));
    return row;
  }

  /// Runs one write: a transaction of its own, or part of the open one.
  Status atomically(const std::function<Status()>& body);
  Status writeRow(const TableSchema& schema, std::vector<FieldValue> row, WriteMode mode);
  Status writeFields(const TableSchema& schema, const Uuid& id,
                     const std::vector<std::size_t>& only, std::vector<FieldValue> values);
  Status deleteRows(const TableSchema& schema, const std::vector<Match>& where);
  /// Reads the rows matching `where`: all columns, or the columns `only` lists;
  /// `sink` gets each row with its position.
  Status selectRows(const TableSchema& schema, const std::vector<std::size_t>* only,
                    const std::vector<Match>& where,
                    const std::function<Status(Position, std::vector<FieldValue>&)>& sink);
  /// Reads the columns `only` lists of the rows at `positions`, in that order.
  Status selectRowsAt(const TableSchema& schema, const std::vector<std::size_t>& only,
                      const std::vector<Position>& positions,
                      const std::function<Status(Position, std::vector<FieldValue>&)>& sink);
  Result<std::int64_t> countRows(const TableSchema& schema, const std::vector<Match>& where);

  std::unique_ptr<Impl> impl_;
};

}  // namespace qm
