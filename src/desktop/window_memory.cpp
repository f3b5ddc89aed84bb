#include "desktop/window_memory.h"

#include <QSettings>

#include "desktop/qt_text.h"

namespace qm::desktop {

std::filesystem::path windowMemoryFile(const AppPaths& paths) {
  return paths.config / "desktop-window.ini";
}

WindowMemory recallWindow(const AppPaths& paths) {
  const QSettings settings(qs(windowMemoryFile(paths).string()), QSettings::IniFormat);
  WindowMemory memory;
  memory.event = Uuid::parse(utf8(settings.value(QStringLiteral("event")).toString()));
  memory.mode = settings.value(QStringLiteral("mode"), 0).toInt();
  memory.paneWidths = settings.value(QStringLiteral("paneWidths")).toByteArray();
  memory.geometry = settings.value(QStringLiteral("geometry")).toByteArray();
  return memory;
}

void rememberWindow(const AppPaths& paths, const WindowMemory& memory) {
  QSettings settings(qs(windowMemoryFile(paths).string()), QSettings::IniFormat);
  settings.setValue(QStringLiteral("event"), memory.event ? qs(memory.event->str()) : QString());
  settings.setValue(QStringLiteral("mode"), memory.mode);
  settings.setValue(QStringLiteral("paneWidths"), memory.paneWidths);
  settings.setValue(QStringLiteral("geometry"), memory.geometry);
  settings.sync();
}

}  // namespace qm::desktop
