#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace qm::desktop {

/// Says where an export went: "Exported 87 contacts to …" with "Show in
/// Folder" (the folder opened through the window's external opener) and "OK".
/// Shown without blocking the window; it deletes itself when closed.
QMessageBox* showExportDone(QWidget* parent, const QString& path, int contacts);

/// The same with `text` said instead, for an export that holds no contacts.
QMessageBox* showExportDone(QWidget* parent, const QString& path, const QString& text);

}  // namespace qm::desktop
