#include "desktop/window_state.h"

#include "desktop/qt_text.h"

namespace qm::desktop {

std::unique_ptr<QSettings> rememberedState(const AppPaths& paths) {
  return std::make_unique<QSettings>(qs((paths.config / "desktop-window.ini").string()),
                                     QSettings::IniFormat);
}

}  // namespace qm::desktop
