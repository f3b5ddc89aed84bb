// quillmere-desktop: the window over the running companion. It starts the
// companion when none runs and leaves it running when the window closes.

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <chrono>
#include <memory>

#include "common/app_paths.h"
#include "desktop/appearance.h"
#include "desktop/companion_link.h"
#include "desktop/desktop_context.h"
#include "desktop/main_window.h"
#include "desktop/qt_text.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/store.h"

namespace {

/// The companion program: beside this one (a build tree or an install), else on PATH.
QString companionProgram() {
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("quillmere");
  if (QFileInfo(beside).isExecutable()) return beside;
  const QString onPath = QStandardPaths::findExecutable(QStringLiteral("quillmere"));
  return onPath.isEmpty() ? QStringLiteral("quillmere") : onPath;
}

int fail(const QString& text) {
  QMessageBox::critical(nullptr, QStringLiteral("Quillmere"), text);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillmere"));
  QApplication::setDesktopFileName(QStringLiteral("com.quillmere.Quillmere"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("The Quillmere desktop window"));
  parser.addHelpOption();
  parser.process(app);

  using namespace qm;
  using namespace qm::desktop;
  const AppPaths paths = AppPaths::fromEnvironment();
  {
    UserDefaults defaults(paths.defaultsFile());
    AppSettings settings(defaults);
    applyAppearance(app, settings.appearance(), settings.density());
  }

  CompanionLink link(qs(paths.controlSocket().string()), companionProgram());
  QString error;
  if (!link.ensureRunning(std::chrono::seconds(15), &error)) return fail(error);
  auto store = Store::open(paths.storeFile());
  if (!store) return fail(qs("Cannot open the store: " + store.error().message));

  DesktopContext context{link, **store, paths};
  MainWindow window(context);
  window.show();
  link.subscribe();
  return app.exec();
}
