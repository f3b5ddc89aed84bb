#include "desktop/detail/note_dialog.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm::desktop {

NoteDialog::NoteDialog(const QString& title, const QString& prompt, const QString& text,
                       QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(prompt, this);
  label->setWordWrap(true);
  layout->addWidget(label);
  text_ = new QPlainTextEdit(text, this);
  text_->setAccessibleName(tr("Note text"));
  text_->setTabChangesFocus(true);
  text_->setMinimumSize(420, 180);
  label->setBuddy(text_);
  layout->addWidget(text_, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  save_ = buttons->button(QDialogButtonBox::Save);
  const QKeySequence saveKeys(Qt::CTRL | Qt::Key_Return);
  save_->setToolTip(tr("Save the note (%1)").arg(saveKeys.toString(QKeySequence::NativeText)));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  const auto offerSave = [this] { save_->setEnabled(!this->text().trimmed().isEmpty()); };
  connect(text_, &QPlainTextEdit::textChanged, this, offerSave);
  offerSave();
  text_->installEventFilter(this);
  text_->setFocus();
  text_->moveCursor(QTextCursor::End);
}

bool NoteDialog::eventFilter(QObject* watched, QEvent* event) {
  // Ctrl+Enter, on the main keyboard or the keypad, saves from the text;
  // Enter alone starts a new line.
  if (watched == text_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        key->modifiers().testFlag(Qt::ControlModifier)) {
      if (save_->isEnabled()) accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

QString NoteDialog::text() const {
  return text_->toPlainText();
}

}  // namespace qm::desktop
