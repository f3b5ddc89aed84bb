#pragma once

#include <QDialog>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace qm::desktop {

class DraftEditor;

/// "Draft Follow-Up Email" for one contact: asks for the tone, has the
/// companion write the draft (through the AI endpoint or the paired phone, or
/// at once from the tone's template with "Write from Template"), shows why
/// when it cannot, and then shows the new draft in the editor.
class FollowUpDialog : public QDialog {
  Q_OBJECT
 public:
  /// Which way of writing the dialog offers first (its default button).
  enum class Offer { ai, fromTemplate };

  FollowUpDialog(DesktopContext& context, const Uuid& contactID, QWidget* parent = nullptr,
                 Offer offer = Offer::ai);

  QComboBox* toneBox() const { return tone_; }
  QPushButton* generateButton() const { return generate_; }
  QPushButton* templateButton() const { return fromTemplate_; }
  /// Why the last attempt failed (empty while none did).
  QLabel* errorLabel() const { return error_; }
  bool isBusy() const;
  DraftEditor* editor() const { return editor_; }

 public slots:
  void generate();
  void writeFromTemplate();

 protected:
  void done(int result) override;

 private:
  /// Asks the companion for the draft: from the template, or with an AI.
  void request(bool fromTemplate);

  DesktopContext& context_;
  Uuid contactID_;
  QStackedWidget* pages_ = nullptr;
  QComboBox* tone_ = nullptr;
  QProgressBar* busy_ = nullptr;
  QLabel* error_ = nullptr;
  QPushButton* generate_ = nullptr;
  QPushButton* fromTemplate_ = nullptr;
  DraftEditor* editor_ = nullptr;
};

/// Opens the "Draft Follow-Up Email" dialog for `contactID` (not modal; it
/// deletes itself when closed), offering `offer` first, and returns it.
FollowUpDialog* draftFollowUp(DesktopContext& context, const Uuid& contactID, QWidget* parent,
                              FollowUpDialog::Offer offer = FollowUpDialog::Offer::ai);

}  // namespace qm::desktop
