#include "desktop/window_memory.h"

#include <QSettings>

#include "desktop/qt_text.h"
#include "desktop/window_state.h"

namespace qm::desktop {

WindowMemory recallWindow(const AppPaths& paths) {
  const auto state = rememberedState(paths);
  const QSettings& settings = *state;
  WindowMemory memory;
  memory.event = Uuid::parse(utf8(settings.value(QStringLiteral("event")).toString()));
  memory.mode = settings.value(QStringLiteral("mode"), 0).toInt();
  memory.paneWidths = settings.value(QStringLiteral("paneWidths")).toByteArray();
  memory.geometry = settings.value(QStringLiteral("geometry")).toByteArray();
  return memory;
}

void rememberWindow(const AppPaths& paths, const WindowMemory& memory) {
  const auto state = rememberedState(paths);
  QSettings& settings = *state;
  settings.setValue(QStringLiteral("event"), memory.event ? qs(memory.event->str()) : QString());
  settings.setValue(QStringLiteral("mode"), memory.mode);
  settings.setValue(QStringLiteral("paneWidths"), memory.paneWidths);
  settings.setValue(QStringLiteral("geometry"), memory.geometry);
  settings.sync();
}

}  // namespace qm::desktop
