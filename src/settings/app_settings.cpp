#include "settings/app_settings.h"

#include <algorithm>
#include <cassert>
#include <utility>
#include <variant>

#include "common/app_paths.h"
#include "common/log.h"
#include "common/text.h"
#include "settings/follow_up_template_form.h"

namespace qm {

namespace {

namespace key {
constexpr std::string_view appLanguage = "appLanguage";
constexpr std::string_view displayName = "displayName";
constexpr std::string_view organizationName = "organizationName";
constexpr std::string_view emailSignature = "emailSignature";
constexpr std::string_view appearance = "appearance";
constexpr std::string_view density = "density";
constexpr std::string_view defaultReportDetailLevel = "defaultReportDetailLevel";
constexpr std::string_view defaultExportFormat = "defaultExportFormat";
constexpr std::string_view defaultExportFolder = "defaultExportFolder";
constexpr std::string_view followUpDueDays = "followUpDueDays";
constexpr std::string_view preferOnDeviceAI = "preferOnDeviceAI";
constexpr std::string_view mcpServerEnabled = "mcpServerEnabled";
constexpr std::string_view aiEndpoint = "aiEndpoint";
constexpr std::string_view aiEndpointKind = "aiEndpointKind";
constexpr std::string_view aiModel = "aiModel";
constexpr std::string_view senderName = "senderName";
constexpr std::string_view senderEmail = "senderEmail";
constexpr std::string_view smtpHost = "smtpHost";
constexpr std::string_view smtpPort = "smtpPort";
constexpr std::string_view smtpSecurity = "smtpSecurity";
constexpr std::string_view smtpUser = "smtpUser";
constexpr std::string_view smtpCAFile = "smtpCAFile";
constexpr std::string_view checkForUpdatesAtStart = "checkForUpdatesAtStart";
}  // namespace key

constexpr std::string_view kTrue = "true";
constexpr std::string_view kFalse = "false";

template <class E>
std::vector<std::string_view> rawValues() {
  std::vector<std::string_view> values;
  for (const auto& c : EnumInfo<E>::cases) values.push_back(c.raw);
  return values;
}

std::string joined(const std::vector<std::string_view>& parts) {
  std::string text;
  for (const auto& part : parts) {
    if (!text.empty()) text += ", ";
    text += part;
  }
  return text;
}

const SettingDescriptor* findDescriptor(std::string_view name) {
  const auto& all = AppSettings::descriptors();
  auto found = std::find_if(all.begin(), all.end(),
                            [&](const SettingDescriptor& d) { return d.key == name; });
  return found == all.end() ? nullptr : &*found;
}

/// For keys this file names itself, which are always in the table.
const SettingDescriptor& descriptor(std::string_view name) {
  const SettingDescriptor* found = findDescriptor(name);
  assert(found != nullptr);
  return *found;
}

Error unknownSetting(std::string_view name) {
  std::vector<std::string_view> known;
  for (const auto& d : AppSettings::descriptors()) known.push_back(d.key);
  return Error("Unknown setting \"" + std::string(name) + "\". Known settings: " + joined(known));
}

Error invalidValue(const SettingDescriptor& d, std::string_view value,
                   const std::vector<std::string_view>& allowed) {
  return Error("Invalid value \"" + std::string(value) + "\" for " + std::string(d.key) +
               ". Allowed values: " + joined(allowed));
}

bool allows(const SettingDescriptor& d, std::string_view value) {
  if (d.check != nullptr && !d.check(value).empty()) return false;
  return d.allowedValues.empty() ||
         std::find(d.allowedValues.begin(), d.allowedValues.end(), value) != d.allowedValues.end();
}

/// An endpoint is empty (none) or an http:// or https:// address without
/// spaces or control characters. Whether it may be used (plain http only to
/// this computer) is decided where requests are sent.
std::string endpointProblem(std::string_view url) {
  if (url.empty()) return {};
  std::string_view rest = url;
  if (!rest.starts_with("https://") && !rest.starts_with("http://")) {
    return "Expected an http:// or https:// address";
  }
  rest.remove_prefix(rest.find("://") + 3);
  if (rest.empty() || rest.front() == '/') return "The address names no host";
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f)
      return "The address may not contain spaces or control characters";
  }
  return {};
}

/// A sender address is empty (the application's own) or one plain address.
std::string senderEmailProblem(std::string_view address) {
  return std::string(address.empty() ? std::string_view() : emailAddressProblem(address));
}

/// A mail server's host is empty (none) or a host name or address without
/// spaces, control characters or a scheme.
std::string hostProblem(std::string_view host) {
  if (host.empty()) return {};
  if (host.find("://") != std::string_view::npos)
    return "Expected a host name such as smtp.example.com, without a scheme";
  for (const char c : host) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f || c == '/' || c == '@')
      return "Expected a host name such as smtp.example.com";
  }
  return {};
}

/// A port is empty (the security's usual port) or a number from 1 to 65535.
std::string portProblem(std::string_view port) {
  if (port.empty()) return {};
  if (port.size() > 5 ||
      !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return "Expected a port number from 1 to 65535";
  const int number = std::stoi(std::string(port));
  if (number < 1 || number > 65535) return "Expected a port number from 1 to 65535";
  return {};
}

/// A file of certificate authorities is empty (none) or a path from the root
/// folder or the home folder ("~/…"), on one line.
std::string filePathProblem(std::string_view path) {
  if (path.empty()) return {};
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return "The path may not contain line breaks or tabs";
  }
  if (path.front() != '/' && !path.starts_with("~/"))
    return "Expected a full path such as /etc/ssl/company-ca.pem or ~/company-ca.pem";
  return {};
}

/// Days until a follow-up is due: a whole number from 0 to 365, in digits.
std::string dueDaysProblem(std::string_view days) {
  const bool digits =
      !days.empty() && days.size() <= 3 &&
      std::all_of(days.begin(), days.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits || std::stoi(std::string(days)) > kMaxFollowUpDueDays)
    return "Expected a number of days from 0 to " + std::to_string(kMaxFollowUpDueDays);
  return {};
}

/// Names of the people we write to and for appear in headers: no line breaks.
std::string singleLineProblem(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return "The text may not contain line breaks or tabs";
  }
  return {};
}

}  // namespace

AppSettings::AppSettings(UserDefaults& defaults) : defaults_(defaults) {}

const std::vector<SettingDescriptor>& AppSettings::descriptors() {
  using K = SettingKind;
  static const std::vector<SettingDescriptor> table = {
      {key::appLanguage, K::text, "system", rawValues<AppLanguage>(), "system"},
      {key::displayName, K::text, "", {}, ""},
      {key::organizationName, K::text, "", {}, ""},
      {key::emailSignature, K::text, "", {}, ""},
      {key::appearance, K::text, "system", {"system", "light", "dark"}, "system"},
      {key::density, K::text, "comfortable", {"compact", "comfortable"}, "comfortable"},
      {key::defaultReportDetailLevel, K::text, "standard", rawValues<ReportDetailLevel>(),
       "standard"},
      {key::defaultExportFormat, K::text, "csv", rawValues<ExportFormat>(), "csv"},
      {key::defaultExportFolder, K::text, "", {}, ""},
      {key::followUpDueDays, K::text, "2", {}, "2", dueDaysProblem},
      {key::preferOnDeviceAI, K::boolean, kTrue, {}, kTrue},
      {key::mcpServerEnabled, K::boolean, kFalse, {}, kFalse},
      {key::aiEndpoint, K::text, "", {}, "", endpointProblem},
      {key::aiEndpointKind, K::text, "proxy", rawValues<AIEndpointKind>(), "proxy"},
      {key::aiModel, K::text, "", {}, ""},
      {key::senderName, K::text, "", {}, "", singleLineProblem},
      {key::senderEmail, K::text, "", {}, "", senderEmailProblem},
      {key::smtpHost, K::text, "", {}, "", hostProblem},
      {key::smtpPort, K::text, "", {}, "", portProblem},
      {key::smtpSecurity, K::text, "starttls", {"starttls", "tls", "none"}, "starttls"},
      {key::smtpUser, K::text, "", {}, "", singleLineProblem},
      {key::smtpCAFile, K::text, "", {}, "", filePathProblem},
      {kFollowUpTemplateWarmKey, K::text, "", {}, "", followUpTemplateSettingProblem},
      {kFollowUpTemplateNeutralKey, K::text, "", {}, "", followUpTemplateSettingProblem},
      {kFollowUpTemplateFormalKey, K::text, "", {}, "", followUpTemplateSettingProblem},
      {key::checkForUpdatesAtStart, K::boolean, kFalse, {}, kFalse},
  };
  return table;
}

std::string AppSettings::effective(const SettingDescriptor& d) const {
  auto stored = defaults_.value(d.key);
  if (!stored) return std::string(d.defaultValue);
  if (d.kind == SettingKind::boolean) {
    if (const bool* flag = std::get_if<bool>(&*stored)) return std::string(*flag ? kTrue : kFalse);
    return std::string(d.fallback);
  }
  if (auto* text = std::get_if<std::string>(&*stored); text != nullptr && allows(d, *text)) {
    return std::move(*text);
  }
  return std::string(d.fallback);
}

Result<std::string> AppSettings::get(std::string_view name) const {
  const SettingDescriptor* d = findDescriptor(name);
  if (d == nullptr) return unknownSetting(name);
  return effective(*d);
}

Status AppSettings::validate(std::string_view name, std::string_view value) {
  const SettingDescriptor* d = findDescriptor(name);
  if (d == nullptr) return unknownSetting(name);
  if (d->kind == SettingKind::boolean) {
    if (value != kTrue && value != kFalse) return invalidValue(*d, value, {kTrue, kFalse});
    return {};
  }
  if (d->check != nullptr) {
    if (const std::string problem = d->check(value); !problem.empty()) {
      // A value of several lines (a template) is not quoted back whole.
      const bool quoted = value.find_first_of("\r\n") == std::string_view::npos;
      return Error(ErrorCode::invalidArgument,
                   "Invalid value " + (quoted ? "\"" + std::string(value) + "\" " : "") + "for " +
                       std::string(d->key) + ". " + problem);
    }
  }
  if (!allows(*d, value)) return invalidValue(*d, value, d->allowedValues);
  return {};
}

Status AppSettings::set(std::string_view name, std::string_view value) {
  QM_TRY(validate(name, value));
  const SettingDescriptor& d = *findDescriptor(name);
  if (d.kind == SettingKind::boolean) return defaults_.set(std::string(d.key), value == kTrue);
  return defaults_.set(std::string(d.key), std::string(value));
}

AppLanguage AppSettings::appLanguage() const {
  return parseAppLanguage(effective(descriptor(key::appLanguage))).value_or(AppLanguage::system);
}
Status AppSettings::setAppLanguage(AppLanguage language) {
  return set(key::appLanguage, rawValue(language));
}

std::string AppSettings::displayName() const {
  return effective(descriptor(key::displayName));
}
Status AppSettings::setDisplayName(std::string_view name) {
  return set(key::displayName, name);
}

std::string AppSettings::organizationName() const {
  return effective(descriptor(key::organizationName));
}
Status AppSettings::setOrganizationName(std::string_view name) {
  return set(key::organizationName, name);
}

std::string AppSettings::emailSignature() const {
  return effective(descriptor(key::emailSignature));
}
Status AppSettings::setEmailSignature(std::string_view signature) {
  return set(key::emailSignature, signature);
}

std::string AppSettings::appearance() const {
  return effective(descriptor(key::appearance));
}
Status AppSettings::setAppearance(std::string_view appearance) {
  return set(key::appearance, appearance);
}

std::string AppSettings::density() const {
  return effective(descriptor(key::density));
}
Status AppSettings::setDensity(std::string_view density) {
  return set(key::density, density);
}

ReportDetailLevel AppSettings::defaultReportDetailLevel() const {
  return parseReportDetailLevel(effective(descriptor(key::defaultReportDetailLevel)))
      .value_or(ReportDetailLevel::standard);
}
Status AppSettings::setDefaultReportDetailLevel(ReportDetailLevel level) {
  return set(key::defaultReportDetailLevel, rawValue(level));
}

ExportFormat AppSettings::defaultExportFormat() const {
  return parseExportFormat(effective(descriptor(key::defaultExportFormat)))
      .value_or(ExportFormat::csv);
}
Status AppSettings::setDefaultExportFormat(ExportFormat format) {
  return set(key::defaultExportFormat, rawValue(format));
}

std::string AppSettings::defaultExportFolder() const {
  return effective(descriptor(key::defaultExportFolder));
}
std::filesystem::path AppSettings::defaultExportFolderPath() const {
  return expandHome(defaultExportFolder());
}
Status AppSettings::setDefaultExportFolder(std::string_view folder) {
  return set(key::defaultExportFolder, folder);
}

int AppSettings::followUpDueDays() const {
  return std::stoi(effective(descriptor(key::followUpDueDays)));
}
Status AppSettings::setFollowUpDueDays(int days) {
  return set(key::followUpDueDays, std::to_string(days));
}

bool AppSettings::preferOnDeviceAI() const {
  return effective(descriptor(key::preferOnDeviceAI)) == kTrue;
}
Status AppSettings::setPreferOnDeviceAI(bool prefer) {
  return defaults_.set(std::string(key::preferOnDeviceAI), prefer);
}

bool AppSettings::checkForUpdatesAtStart() const {
  return effective(descriptor(key::checkForUpdatesAtStart)) == kTrue;
}
Status AppSettings::setCheckForUpdatesAtStart(bool check) {
  return defaults_.set(std::string(key::checkForUpdatesAtStart), check);
}

bool AppSettings::mcpServerEnabled() const {
  return effective(descriptor(key::mcpServerEnabled)) == kTrue;
}
Status AppSettings::setMcpServerEnabled(bool enabled) {
  return defaults_.set(std::string(key::mcpServerEnabled), enabled);
}

std::string AppSettings::aiEndpoint() const {
  return effective(descriptor(key::aiEndpoint));
}
Status AppSettings::setAiEndpoint(std::string_view url) {
  return set(key::aiEndpoint, url);
}

AIEndpointKind AppSettings::aiEndpointKind() const {
  return parseEnum<AIEndpointKind>(effective(descriptor(key::aiEndpointKind)))
      .value_or(AIEndpointKind::proxy);
}
Status AppSettings::setAiEndpointKind(AIEndpointKind kind) {
  return set(key::aiEndpointKind, rawValue(kind));
}

std::string AppSettings::aiModel() const {
  return effective(descriptor(key::aiModel));
}
Status AppSettings::setAiModel(std::string_view model) {
  return set(key::aiModel, model);
}

std::string AppSettings::senderName() const {
  return effective(descriptor(key::senderName));
}
Status AppSettings::setSenderName(std::string_view name) {
  return set(key::senderName, name);
}

std::string AppSettings::senderEmail() const {
  return effective(descriptor(key::senderEmail));
}
Status AppSettings::setSenderEmail(std::string_view address) {
  return set(key::senderEmail, address);
}

std::string AppSettings::smtpHost() const {
  return effective(descriptor(key::smtpHost));
}
std::string AppSettings::smtpPort() const {
  return effective(descriptor(key::smtpPort));
}
std::string AppSettings::smtpSecurity() const {
  return effective(descriptor(key::smtpSecurity));
}
std::string AppSettings::smtpUser() const {
  return effective(descriptor(key::smtpUser));
}
std::string AppSettings::smtpCAFile() const {
  return effective(descriptor(key::smtpCAFile));
}

void AppSettings::applyLanguagePreference() {
  const AppLanguage language = appLanguage();
  Status status = language == AppLanguage::system
                      ? defaults_.remove(kLanguagesKey)
                      : defaults_.set(std::string(kLanguagesKey),
                                      std::vector<std::string>{std::string(rawValue(language))});
  if (!status) {
    log::data().warn("Could not save the interface language preference: {}",
                     status.error().message);
  }
}

std::optional<std::string> AppSettings::preferredLanguage() const {
  auto stored = defaults_.value(kLanguagesKey);
  if (!stored) return std::nullopt;
  const auto* languages = std::get_if<std::vector<std::string>>(&*stored);
  if (languages == nullptr || languages->empty() || languages->front().empty()) {
    return std::nullopt;
  }
  return languages->front();
}

}  // namespace qm
