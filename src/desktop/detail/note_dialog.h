#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace qm::desktop {

/// Writes or edits the text of a note. Ctrl+Enter saves it, Escape cancels,
/// and Tab leaves the text for the buttons instead of typing a tab; Save is
/// offered only while the text holds more than white space.
class NoteDialog : public QDialog {
  Q_OBJECT
 public:
  NoteDialog(const QString& title, const QString& prompt, const QString& text,
             QWidget* parent = nullptr);

  QString text() const;
  QPlainTextEdit* textField() const { return text_; }
  QPushButton* saveButton() const { return save_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPlainTextEdit* text_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace qm::desktop
