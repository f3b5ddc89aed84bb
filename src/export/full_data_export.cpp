#include "export/full_data_export.h"

#include "export/full_data_export_records.h"
#include "store/store.h"

namespace qm {

std::string dataExportFileName(Date date) {
  return "Quillmere_Export_" + formatISO8601(date).substr(0, 10) + ".json";
}

Result<FullDataExport> buildFullDataExport(Store& store, Date exportedAt) {
  FullDataExport result;
  std::string& out = result.document;
  out += "{\n  \"formatVersion\": " + std::to_string(kDataExportFormatVersion) + ",\n";
  out += "  \"timestamp\": \"" + formatISO8601(exportedAt) + "\"";
  QM_TRY(store.transaction([&]() -> Status {
    for (const auto& codec : recordKindCodecs()) {
      out += ",\n  \"" + std::string(codec.kind) + "\": ";
      result.counts.push_back({codec.kind, QM_TRY(codec.write(store, out))});
    }
    return {};
  }));
  out += "\n}\n";
  return result;
}

}  // namespace qm
