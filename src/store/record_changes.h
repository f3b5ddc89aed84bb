#pragma once

// The store's record change log: every insert, update and delete of an event,
// contact, note, opportunity or follow-up draft is logged in the store file,
// with a sequence number, in the transaction that writes it, whichever
// connection writes it (the companion's loop, its snapshot ingest thread, a
// command-line tool). Data derived from those records (the search indexes)
// remembers the last number it saw and re-reads only the records written
// since, also when another process wrote them.
//
// The store's update hook collects the positions a transaction writes and
// `appendRecordChanges` logs them just before it commits: one small insert per
// position, where a trigger on each table would cost every write of a contact
// (a hundred columns) several times as much.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "store/store.h"

namespace qm {

/// How many of the latest log entries the store keeps; older ones are removed
/// as new ones come. A reader further behind reads everything again.
inline constexpr std::int64_t kRecordChangesKept = 65'536;

/// Creates the log. `Store::open` runs it in its set-up transaction.
Status installRecordChangeLog(Store& store);

/// The name of `table` as the log keeps it (a name that lives as long as the
/// program), when writes to it are logged; nothing when they are not.
std::optional<std::string_view> followedTable(std::string_view table);
/// Whether `column` is sync bookkeeping: a write of such columns only (a
/// snapshot's sync time and count of a contact it leaves unchanged) changes
/// nothing a reader derives, and is not logged.
bool isBookkeepingColumn(std::string_view column);

/// One position written to a followed table. Position 0 stands for every row
/// of the table (a whole-table delete, whose rows are not named one by one).
struct RecordChange {
  std::string_view table;  ///< one of the followed tables' names
  Store::Position position = 0;
};

/// Logs `changes`, in order, and removes the entries no longer kept. Runs in
/// the writer's transaction, just before it commits.
Status appendRecordChanges(Store& store, const std::vector<RecordChange>& changes);

/// What was written since a reader last looked.
struct RecordChanges {
  /// The log's latest sequence number: where to ask from next time.
  std::int64_t latest = 0;
  /// The positions written since, per table name (each once); deleted records' positions are among
  /// them. Nothing when the log cannot say: the reader asked for the first time, its entries are no
  /// longer kept, or there are more than `limit` (then reading everything again is cheaper anyway).
  std::optional<std::map<std::string, std::vector<Store::Position>, std::less<>>> tables;
};

/// The changes after sequence number `after` (nothing: the first look). A
/// reader that then reads everything should ask for `latest` first and read
/// after, so that what is written meanwhile comes up again next time.
Result<RecordChanges> recordChangesSince(Store& store, std::optional<std::int64_t> after,
                                         std::size_t limit);

}  // namespace qm
