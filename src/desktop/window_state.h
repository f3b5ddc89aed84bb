#pragma once

#include <QSettings>
#include <memory>

#include "common/app_paths.h"

namespace qm::desktop {

/// What the window remembers between starts on this computer only (the
/// contacts list's columns, the last export format and folder): an INI file
/// beside the companion's defaults, never sent to the phone.
std::unique_ptr<QSettings> rememberedState(const AppPaths& paths);

}  // namespace qm::desktop
