#include "desktop/shortcuts_dialog.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qm::desktop {

namespace {

/// An action's text as a person reads it: without the mnemonic's "&" and the
/// ellipsis that says a dialog follows.
QString plainText(QString text) {
  text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
  text.replace(QStringLiteral("&&"), QStringLiteral("&"));
  if (text.endsWith(QChar(0x2026))) text.chop(1);
  return text;
}

}  // namespace

ShortcutsDialog::ShortcutsDialog(QWidget* window) : QDialog(window), window_(window) {
  setWindowTitle(tr("Keyboard Shortcuts"));
  table_ = new QTableWidget(0, 2, this);
  table_->setHorizontalHeaderLabels({tr("Action"), tr("Keys")});
  table_->setAccessibleName(tr("Keyboard shortcuts"));
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(buttons);
  resize(460, 520);
}

void ShortcutsDialog::showEvent(QShowEvent* event) {
  refresh();
  QDialog::showEvent(event);
}

void ShortcutsDialog::refresh() {
  table_->setRowCount(0);
  QStringList seen;
  for (const QAction* action : window_->findChildren<QAction*>()) {
    if (action->shortcut().isEmpty() || action->text().isEmpty()) continue;
    const QString keys = action->shortcut().toString(QKeySequence::NativeText);
    if (seen.contains(keys)) continue;
    seen << keys;
    const int row = table_->rowCount();
    table_->insertRow(row);
    table_->setItem(row, 0, new QTableWidgetItem(plainText(action->text())));
    table_->setItem(row, 1, new QTableWidgetItem(keys));
  }
}

}  // namespace qm::desktop
