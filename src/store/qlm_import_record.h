#pragma once

#include <string>

#include "store/field.h"

namespace qm {

// clang-format off
#define QM_QLM_IMPORT_RECORD_FIELDS(F)                                \
  F(Uuid, id, {}, kUnique)                                            \
  F(std::string, fileID, {}, kUnique)                                 \
  F(std::string, clientName, {}, {})                                  \
  F(std::string, eventName, {}, {})                                   \
  F(Date, importedAt, {}, {})
// clang-format on

/// One bundle file imported from the phone; `fileID` can be stored only once.
struct QLMImportRecord {
  QM_QLM_IMPORT_RECORD_FIELDS(QM_RECORD_MEMBER)
  friend bool operator==(const QLMImportRecord&, const QLMImportRecord&) = default;
};

template <>
struct RecordInfo<QLMImportRecord> {
  static constexpr std::string_view table = "QLMImportRecord";
  static const std::vector<Field<QLMImportRecord>>& fields();
};

}  // namespace qm
