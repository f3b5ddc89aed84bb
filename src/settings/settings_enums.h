#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "common/enum_info.h"

namespace qm {

/// The language the interface is shown in; `system` follows the session's locale.
enum class AppLanguage { system, en, fr };

/// The file formats contacts can be exported to.
enum class ExportFormat { csv, hubspot, salesforce, pipedrive, xlsx, vcard };

/// How much a generated contact report says.
enum class ReportDetailLevel { brief, standard, detailed };

/// What answers at the AI endpoint: the AI proxy service, or any server that
/// speaks the OpenAI chat-completions protocol (hosted, or a local model).
enum class AIEndpointKind { proxy, chatCompletions };

template <>
struct EnumInfo<AppLanguage> {
  static constexpr std::array<EnumCase<AppLanguage>, 3> cases = {{
      {AppLanguage::system, "system", "System"},
      {AppLanguage::en, "en", "English"},
      {AppLanguage::fr, "fr", "Français"},
  }};
};

template <>
struct EnumInfo<ExportFormat> {
  static constexpr std::array<EnumCase<ExportFormat>, 6> cases = {{
      {ExportFormat::csv, "csv", "CSV (Generic)"},
      {ExportFormat::hubspot, "hubspot", "CSV (HubSpot)"},
      {ExportFormat::salesforce, "salesforce", "CSV (Salesforce)"},
      {ExportFormat::pipedrive, "pipedrive", "CSV (Pipedrive)"},
      {ExportFormat::xlsx, "xlsx", "Excel (XLSX)"},
      {ExportFormat::vcard, "vcard", "vCard"},
  }};
};

template <>
struct EnumInfo<ReportDetailLevel> {
  static constexpr std::array<EnumCase<ReportDetailLevel>, 3> cases = {{
      {ReportDetailLevel::brief, "brief", "Brief"},
      {ReportDetailLevel::standard, "standard", "Standard"},
      {ReportDetailLevel::detailed, "detailed", "Detailed"},
  }};
};

template <>
struct EnumInfo<AIEndpointKind> {
  static constexpr std::array<EnumCase<AIEndpointKind>, 2> cases = {{
      {AIEndpointKind::proxy, "proxy", "AI proxy"},
      {AIEndpointKind::chatCompletions, "chatCompletions", "Chat completions (OpenAI-compatible)"},
  }};
};

/// Exact raw-value matches ("en", "hubspot", "brief", ...); anything else gives nothing.
std::optional<AppLanguage> parseAppLanguage(std::string_view text);
std::optional<ExportFormat> parseExportFormat(std::string_view text);
std::optional<ReportDetailLevel> parseReportDetailLevel(std::string_view text);

}  // namespace qm
