#pragma once

#include <string>

#include "store/field.h"

namespace qm {

// clang-format off
/// The stored fields of a saved report. `pdfData` is kept in a file beside the
/// store, not in the main file.
#define QM_SAVED_REPORT_FIELDS(F)                                     \
  F(Uuid, id, {}, kUnique)                                            \
  F(std::string, reportType, {}, {})                                  \
  F(Date, generatedAt, {}, {})                                        \
  F(std::string, reportContent, {}, {})                               \
  F(std::optional<std::string>, providerUsed, {}, {})                 \
  F(std::optional<Uuid>, eventID, {}, ownedBy("Event"))               \
  F(std::string, selectedSections, {}, {})                            \
  F(std::optional<Bytes>, pdfData, {}, kExternal)                     \
  F(std::optional<std::string>, companyTableJSON, {}, {})             \
  F(std::optional<std::string>, contactTableJSON, {}, {})             \
  F(std::string, detailLevel, "detailed", {})
// clang-format on

/// An AI-written report about one event.
struct SavedReport {
  QM_SAVED_REPORT_FIELDS(QM_RECORD_MEMBER)

  /// A new report with a fresh id, generated now, no sections, detail level "detailed".
  static SavedReport create(std::string reportType, std::string reportContent,
                            std::optional<Uuid> eventID = std::nullopt);
  friend bool operator==(const SavedReport&, const SavedReport&) = default;
};

template <>
struct RecordInfo<SavedReport> {
  static constexpr std::string_view table = "SavedReport";
  static const std::vector<Field<SavedReport>>& fields();
};

}  // namespace qm
