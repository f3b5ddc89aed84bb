#pragma once

#include <QByteArray>
#include <optional>

#include "common/app_paths.h"
#include "common/uuid.h"

namespace qm::desktop {

/// What the main window was showing when it closed, so it reopens on it: the
/// event (none for All Events), the list mode, the widths of the sidebar, the
/// list and the detail pane, and the window's size and place; kept with the
/// rest of what the window remembers (`rememberedState`).
struct WindowMemory {
  std::optional<Uuid> event;
  int mode = 0;
  QByteArray paneWidths;
  QByteArray geometry;
};

/// What was remembered; an empty memory when nothing was (or it cannot be read).
WindowMemory recallWindow(const AppPaths& paths);

void rememberWindow(const AppPaths& paths, const WindowMemory& memory);

}  // namespace qm::desktop
