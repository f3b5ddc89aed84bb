#pragma once

#include <functional>

#include "settings/settings_enums.h"

namespace qm {

/// Reads one environment variable; null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

/// The language `chosen` stands for: `en` or `fr` as they are; `system`
/// follows the session as the window does: the first of LC_ALL, LC_MESSAGES
/// and LANG that is set names the locale (none, "C" or "POSIX": English), and
/// the first entry of LANGUAGE, when set, overrides its language. French
/// gives `fr`, any other language `en`.
AppLanguage effectiveLanguage(AppLanguage chosen, const EnvironmentLookup& environment);

/// The same in this process's environment.
AppLanguage effectiveLanguage(AppLanguage chosen);

}  // namespace qm
