#include "desktop/export_done.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include "desktop/private_file.h"

namespace qm::desktop {

QMessageBox* showExportDone(QWidget* parent, const QString& path, int contacts) {
  return showExportDone(
      parent, path,
      QCoreApplication::translate("qm::desktop::ExportDone", "Exported %Ln contacts to %1", nullptr,
                                  contacts)
          .arg(QDir::toNativeSeparators(path)));
}

QMessageBox* showExportDone(QWidget* parent, const QString& path, const QString& text) {
  auto* box =
      new QMessageBox(QMessageBox::Information,
                      QCoreApplication::translate("qm::desktop::ExportDone", "Export Contacts"), {},
                      QMessageBox::NoButton, parent);
  box->setObjectName(QStringLiteral("export-done"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->setText(text);
  QPushButton* showFolder =
      box->addButton(QCoreApplication::translate("qm::desktop::ExportDone", "Show in Folder"),
                     QMessageBox::ActionRole);
  box->addButton(QMessageBox::Ok);
  // The folder opens and the message stays, so it can be opened again.
  QObject::disconnect(showFolder, &QPushButton::clicked, nullptr, nullptr);
  QObject::connect(showFolder, &QPushButton::clicked, box, [box, path] {
    externalOpener()(QFileInfo(path).absolutePath(), [box](const QString& error) {
      if (!error.isEmpty()) box->setInformativeText(error);
    });
  });
  box->show();
  return box;
}

}  // namespace qm::desktop
