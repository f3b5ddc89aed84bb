#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "common/result.h"

namespace qm {

class Store;

/// How a restore treats records that the store already holds.
enum class RestoreMode {
  /// The store must hold no records at all.
  emptyStoreOnly,
  /// Records whose id the store holds are kept as stored and counted.
  merge,
};

/// What a restore did with one record kind.
struct RestoreKindSummary {
  std::string_view kind;
  std::int64_t added = 0;
  std::int64_t kept = 0;
};

/// The records of one kind read from an export, checked and waiting to be
/// written into a store.
using PendingRecords = std::function<Status(Store&, RestoreMode, RestoreKindSummary&)>;

/// One record kind of the data export: its name (the member of the export
/// that holds its array), how its records are written out, and how they are
/// read back. Every declared field is carried under its own name: texts as
/// strings, ids as upper-case UUID text, dates as ISO 8601 UTC with the
/// microseconds when there are any, bytes as Base64, absent values as null.
struct RecordKindCodec {
  std::string_view kind;
  /// Appends the store's records of this kind, in stored order, as a
  /// pretty-printed JSON array (indented one level inside the document);
  /// returns how many there are.
  std::function<Result<std::int64_t>(Store&, std::string& out)> write;
  /// Checks a JSON array of records of this kind; the error names the record
  /// and field at fault.
  std::function<Result<PendingRecords>(const nlohmann::json& array)> read;
  /// How many records of this kind the store holds.
  std::function<Result<std::int64_t>(Store&)> count;
};

/// The twelve record kinds, owners before what they own (the order in which
/// records are restored).
const std::vector<RecordKindCodec>& recordKindCodecs();

}  // namespace qm
