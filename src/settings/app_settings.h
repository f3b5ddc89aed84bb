#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "settings/settings_enums.h"
#include "settings/user_defaults.h"

namespace qm {

/// Whether a setting holds free or restricted text, or a flag.
enum class SettingKind { text, boolean };

/// One user-visible setting: its defaults key, what it holds, what it reads as
/// when never written, which texts it accepts (none listed = any text), and what
/// it reads as when the stored value is not one of those (or has the wrong type).
struct SettingDescriptor {
  std::string_view key;
  SettingKind kind = SettingKind::text;
  std::string_view defaultValue;  ///< booleans: "true" or "false"
  std::vector<std::string_view> allowedValues;
  std::string_view fallback;
  /// For free text with a form (an address, a template): what is wrong with
  /// `value` as a person reads it, or empty when it is acceptable. A stored
  /// value it rejects reads as `fallback`.
  std::string (*check)(std::string_view value) = nullptr;
};

/// The follow-up templates drafts are written from without an AI, one per
/// tone (`settings/follow_up_template_form.h` gives their form); empty means
/// the built-in template of the draft's language.
inline constexpr std::string_view kFollowUpTemplateWarmKey = "followUpTemplateWarm";
inline constexpr std::string_view kFollowUpTemplateNeutralKey = "followUpTemplateNeutral";
inline constexpr std::string_view kFollowUpTemplateFormalKey = "followUpTemplateFormal";

/// The most days a follow-up may be due after its meeting.
inline constexpr int kMaxFollowUpDueDays = 365;

/// The companion's user settings, read and written through `UserDefaults`.
///
/// A single table of descriptors decides every key, default and allowed value;
/// the typed accessors and the text interface used by the command line both go
/// through it, so a value read back is always one the setting allows.
class AppSettings {
 public:
  /// The defaults key holding the preferred interface languages.
  static constexpr std::string_view kLanguagesKey = "AppleLanguages";

  explicit AppSettings(UserDefaults& defaults);

  /// Every setting, in the order they are listed to people.
  static const std::vector<SettingDescriptor>& descriptors();

  /// The effective value of `key` as text (booleans as "true"/"false").
  Result<std::string> get(std::string_view key) const;
  /// Stores `value` under `key` after checking the key is known and the value allowed.
  Status set(std::string_view key, std::string_view value);
  /// Whether `set(key, value)` would accept the value, with the same messages.
  static Status validate(std::string_view key, std::string_view value);

  AppLanguage appLanguage() const;
  Status setAppLanguage(AppLanguage language);
  std::string displayName() const;
  Status setDisplayName(std::string_view name);
  std::string organizationName() const;
  Status setOrganizationName(std::string_view name);
  std::string emailSignature() const;
  Status setEmailSignature(std::string_view signature);
  /// "system", "light" or "dark".
  std::string appearance() const;
  Status setAppearance(std::string_view appearance);
  /// "compact" or "comfortable".
  std::string density() const;
  Status setDensity(std::string_view density);
  ReportDetailLevel defaultReportDetailLevel() const;
  Status setDefaultReportDetailLevel(ReportDetailLevel level);
  ExportFormat defaultExportFormat() const;
  Status setDefaultExportFormat(ExportFormat format);
  std::string defaultExportFolder() const;
  /// The folder exports are proposed in, as the setting names it with a
  /// leading "~" read as the home folder (`expandHome`); empty when unset.
  /// Every place that writes into the export folder asks this.
  std::filesystem::path defaultExportFolderPath() const;
  Status setDefaultExportFolder(std::string_view folder);
  /// How many days after the meeting a contact's follow-up is due in the
  /// follow-up calendar (.ics), from 0 (the day itself) to 365.
  int followUpDueDays() const;
  Status setFollowUpDueDays(int days);
  bool preferOnDeviceAI() const;
  Status setPreferOnDeviceAI(bool prefer);
  /// Whether the window asks the package manager for a newer Quillmere once a
  /// day when it opens (off by default; it never installs by itself).
  bool checkForUpdatesAtStart() const;
  Status setCheckForUpdatesAtStart(bool check);
  bool mcpServerEnabled() const;
  Status setMcpServerEnabled(bool enabled);
  /// The AI endpoint's base address (http:// or https://); empty when none is set.
  std::string aiEndpoint() const;
  Status setAiEndpoint(std::string_view url);
  AIEndpointKind aiEndpointKind() const;
  Status setAiEndpointKind(AIEndpointKind kind);
  /// The model a chat-completions endpoint is asked for; may be empty.
  std::string aiModel() const;
  Status setAiModel(std::string_view model);

  /// The name and address drafts are sent from; empty when the user set none
  /// (messages then use `displayName` and the application's no-reply address).
  std::string senderName() const;
  Status setSenderName(std::string_view name);
  std::string senderEmail() const;
  Status setSenderEmail(std::string_view address);

  /// The mail server drafts are sent through: host (empty: none set), port
  /// (empty: the usual one of the security), "starttls", "tls" or "none", and
  /// the user name. The password is kept in the keychain, never here.
  std::string smtpHost() const;
  std::string smtpPort() const;
  std::string smtpSecurity() const;
  std::string smtpUser() const;
  /// A PEM file of certificate authorities trusted for the mail server besides
  /// the system's (a company server with a private authority); empty: none.
  std::string smtpCAFile() const;

  /// Mirrors the chosen language into the languages key: English or French is
  /// written as a one-element list, System removes the key. A failure is logged.
  void applyLanguagePreference();
  /// The language code held in the languages key, if any.
  std::optional<std::string> preferredLanguage() const;

 private:
  std::string effective(const SettingDescriptor& descriptor) const;

  UserDefaults& defaults_;
};

}  // namespace qm
