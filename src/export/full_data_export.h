#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/date.h"
#include "common/result.h"

namespace qm {

class Store;

/// The layout version written as `formatVersion`; a restore reads this
/// version only.
inline constexpr std::int64_t kDataExportFormatVersion = 1;

/// How many records of one kind went into an export.
struct RecordKindCount {
  std::string_view kind;
  std::int64_t count = 0;
};

/// A full data export: the JSON document and what it holds.
struct FullDataExport {
  std::string document;
  std::vector<RecordKindCount> counts;
};

/// The proposed file name: "Quillmere_Export_" + the UTC calendar date of
/// `date` (e.g. 2026-03-05) + ".json". Two exports on one day get one name.
std::string dataExportFileName(Date date);

/// Every record of the store as one pretty-printed JSON object: `formatVersion`,
/// `timestamp` (`exportedAt` in ISO 8601 UTC) and, for each of the twelve
/// record kinds, a member named after the kind holding its records as objects
/// with their field names. Nothing of the keychain (the pairing bond, tokens,
/// this desktop's device identifier) is part of it. The records are read in
/// one transaction, so the document is one consistent state of the store even
/// while the companion writes.
Result<FullDataExport> buildFullDataExport(Store& store, Date exportedAt);

}  // namespace qm
