#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "export/full_data_export_records.h"

namespace qm {

class Store;

/// What a restore wrote, kind by kind, in restore order.
struct RestoreSummary {
  std::vector<RestoreKindSummary> kinds;

  std::int64_t added() const;
  std::int64_t kept() const;
};

/// Reads a full data export (see `buildFullDataExport`) into `store`, all in
/// one transaction. The whole document is checked before anything is written:
/// text that is not JSON, a document without `formatVersion`, another format
/// version, an unknown member or a record that does not fit its kind (among
/// them a capture whose image file name is a path, not a file name) is
/// refused (`invalidArgument`) with a message naming what is wrong, and the
/// store is left as it was. A store that already holds records is refused
/// (`failedPrecondition`) unless `mode` is `merge`; then records whose id the
/// store holds are kept as stored and counted. A record that cannot be stored
/// (it names an owner that is neither in the store nor in the file) rolls the
/// whole restore back.
Result<RestoreSummary> restoreDataExport(Store& store, std::string_view document, RestoreMode mode);

/// `restoreDataExport` of the file at `file`.
Result<RestoreSummary> restoreDataExportFile(Store& store, const std::filesystem::path& file,
                                             RestoreMode mode);

}  // namespace qm
