#include "desktop/private_file.h"

#include <sys/stat.h>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "common/atomic_file.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

namespace {

/// This process's private folder, made on first use and removed at exit.
QTemporaryDir* privateFolder(QString* error) {
  static std::unique_ptr<QTemporaryDir> folder;
  if (folder && folder->isValid()) return folder.get();
  QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (base.isEmpty() || !QDir(base).exists()) base = QDir::tempPath();
  folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/quillmere-open-XXXXXX"));
  if (!folder->isValid()) {
    *error = folder->errorString();
    folder.reset();
    return nullptr;
  }
  // QTemporaryDir makes it 0700 already; say so explicitly, it is the point.
  ::chmod(QFile::encodeName(folder->path()).constData(), 0700);
  return folder.get();
}

}  // namespace

QString writePrivateCopy(const QString& fileName, std::string_view contents, QString* error) {
  QString reason;
  QTemporaryDir* folder = privateFolder(&reason);
  if (!folder) {
    if (error) *error = reason;
    return {};
  }
  const QFileInfo name(fileName);
  const QString base =
      name.completeBaseName().isEmpty() ? QStringLiteral("file") : name.completeBaseName();
  const QString suffix = name.suffix().isEmpty() ? QString() : QLatin1Char('.') + name.suffix();
  QString path = folder->filePath(base + suffix);
  for (int n = 2; QFileInfo::exists(path); ++n)
    path = folder->filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix));
  if (Status written = writeFileAtomically(QFile::encodeName(path).toStdString(), contents, 0600);
      !written) {
    if (error) *error = qs(written.error().message);
    return {};
  }
  return path;
}

void openWithXdgOpen(const QString& path, std::function<void(const QString& error)> done) {
  auto* process = new QProcess(QCoreApplication::instance());
  auto finished = std::make_shared<bool>(false);
  const auto finish = [process, finished, done](const QString& error) {
    if (std::exchange(*finished, true)) return;
    process->deleteLater();
    done(error);
  };
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [finish](QProcess::ProcessError failure) {
                     if (failure == QProcess::FailedToStart)
                       finish(QCoreApplication::translate(
                           "qm::desktop::Open", "xdg-open is not installed, so nothing opens it."));
                   });
  QObject::connect(
      process, &QProcess::finished, process,
      [finish, process](int code, QProcess::ExitStatus status) {
        if (status == QProcess::NormalExit && code == 0) return finish({});
        const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        finish(said.isEmpty() ? QCoreApplication::translate(
                                    "qm::desktop::Open",
                                    "No program opens this kind of file (xdg-open ended with "
                                    "%1).")
                                    .arg(code)
                              : said);
      });
  process->setProcessChannelMode(QProcess::SeparateChannels);
  process->setStandardOutputFile(QProcess::nullDevice());
  process->start(QStringLiteral("xdg-open"), {path});
}

ExternalOpener& externalOpener() {
  static ExternalOpener opener = openWithXdgOpen;
  return opener;
}

}  // namespace qm::desktop
