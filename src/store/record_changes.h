#pragma once

// The store's record change log: every insert, update and delete of an event,
// contact, note, opportunity or follow-up draft is logged in the store file by
// triggers, with a sequence number, whichever connection writes it (the
// companion's loop, its snapshot ingest thread, a command-line tool). Data
// derived from those records (the search indexes) remembers the last number it
// saw and re-reads only the records written since, also when another process
// wrote them.

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

/// Creates the log and its triggers, or brings the triggers up to date with the
/// tables' columns. `Store::open` runs it in its set-up transaction.
Status installRecordChangeLog(Store& store);

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
