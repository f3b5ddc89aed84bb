#include "settings/settings_enums.h"

namespace qm {

std::optional<AppLanguage> parseAppLanguage(std::string_view text) {
  return parseEnum<AppLanguage>(text);
}

std::optional<ExportFormat> parseExportFormat(std::string_view text) {
  return parseEnum<ExportFormat>(text);
}

std::optional<ReportDetailLevel> parseReportDetailLevel(std::string_view text) {
  return parseEnum<ReportDetailLevel>(text);
}

}  // namespace qm
