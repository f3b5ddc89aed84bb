#include "settings/effective_language.h"

#include <cstdlib>
#include <string_view>

namespace qm {

namespace {

/// The language code a locale name starts with: "fr" of "fr_CA.UTF-8@euro".
std::string_view languageCode(std::string_view locale) {
  return locale.substr(0, locale.find_first_of("_.@:-"));
}

}  // namespace

AppLanguage effectiveLanguage(AppLanguage chosen, const EnvironmentLookup& environment) {
  if (chosen != AppLanguage::system) return chosen;
  const auto variable = [&](const char* name) {
    const char* value = environment(name);
    return std::string_view(value == nullptr ? "" : value);
  };
  std::string_view locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = variable(name);
    if (!locale.empty()) break;
  }
  if (locale.empty() || locale == "C" || locale.starts_with("C.") || locale == "POSIX")
    return AppLanguage::en;
  std::string_view code = languageCode(locale);
  if (const std::string_view preferred = languageCode(variable("LANGUAGE")); !preferred.empty())
    code = preferred;
  return code == "fr" ? AppLanguage::fr : AppLanguage::en;
}

AppLanguage effectiveLanguage(AppLanguage chosen) {
  return effectiveLanguage(chosen, [](const char* name) { return std::getenv(name); });
}

}  // namespace qm
