#include "desktop/follow_up_action.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "desktop/companion_link.h"
#include "desktop/draft_editor.h"
#include "desktop/qt_text.h"
#include "store/contact.h"
#include "store/store.h"

namespace qm::desktop {

FollowUpDialog::FollowUpDialog(DesktopContext& context, const Uuid& contactID, QWidget* parent)
    : QDialog(parent), context_(context), contactID_(contactID) {
  setWindowTitle(tr("Draft Follow-Up Email"));
  auto* outer = new QVBoxLayout(this);
  pages_ = new QStackedWidget(this);
  outer->addWidget(pages_);

  auto* ask = new QWidget(pages_);
  auto* layout = new QVBoxLayout(ask);
  QString name = tr("this contact");
  if (auto contact = context_.store.find<Contact>(contactID); contact && *contact)
    name = qs((*contact)->fullName());
  auto* intro = new QLabel(tr("Write a follow-up e-mail to %1.").arg(name), ask);
  intro->setWordWrap(true);
  intro->setTextFormat(Qt::PlainText);
  layout->addWidget(intro);
  auto* form = new QFormLayout;
  tone_ = new QComboBox(ask);
  tone_->setAccessibleName(tr("Tone"));
  tone_->addItem(tr("Warm"), QStringLiteral("warm"));
  tone_->addItem(tr("Neutral"), QStringLiteral("neutral"));
  tone_->addItem(tr("Formal"), QStringLiteral("formal"));
  tone_->setCurrentIndex(1);
  form->addRow(tr("&Tone:"), tone_);
  layout->addLayout(form);
  busy_ = new QProgressBar(ask);
  busy_->setRange(0, 0);
  busy_->setFormat(tr("Writing the draft…"));
  busy_->setTextVisible(true);
  busy_->setAccessibleName(tr("Writing the draft"));
  busy_->hide();
  layout->addWidget(busy_);
  error_ = new QLabel(ask);
  error_->setObjectName(QStringLiteral("follow-up-error"));
  error_->setAccessibleName(tr("Why no draft was written"));
  error_->setWordWrap(true);
  error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  error_->setStyleSheet(QStringLiteral("color: #c62828;"));
  error_->hide();
  layout->addWidget(error_);
  layout->addStretch();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, ask);
  generate_ = buttons->addButton(tr("Generate"), QDialogButtonBox::AcceptRole);
  generate_->setAccessibleName(tr("Generate"));
  generate_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &FollowUpDialog::generate);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  pages_->addWidget(ask);

  auto* written = new QWidget(pages_);
  auto* writtenLayout = new QVBoxLayout(written);
  writtenLayout->setContentsMargins(0, 0, 0, 0);
  editor_ = new DraftEditor(context_, written);
  writtenLayout->addWidget(editor_, 1);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, written);
  connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
  writtenLayout->addWidget(close);
  pages_->addWidget(written);
  connect(&context_.link, &CompanionLink::recordsChanged, editor_, [this](const QStringList& t) {
    if (t.isEmpty() || t.contains(QStringLiteral("FollowUpDraft"))) editor_->reload();
  });
  resize(420, 200);
}

bool FollowUpDialog::isBusy() const {
  return busy_->isVisible();
}

void FollowUpDialog::generate() {
  if (isBusy()) return;
  busy_->show();
  error_->hide();
  generate_->setEnabled(false);
  tone_->setEnabled(false);
  QPointer<FollowUpDialog> self(this);
  context_.link.request(
      {{"command", "drafts.generate"},
       {"contactID", uuidText(contactID_)},
       {"tone", tone_->currentData().toString()}},
      [self](const QJsonObject& result, const QString& error) {
        if (!self) return;
        self->busy_->hide();
        self->generate_->setEnabled(true);
        self->tone_->setEnabled(true);
        const auto id = uuidFromText(result.value("draftID").toString());
        if (!error.isEmpty() || !id) {
          self->error_->setText(error.isEmpty() ? tr("The companion wrote no draft.") : error);
          self->error_->show();
          return;
        }
        self->editor_->showDraft(*id);
        self->pages_->setCurrentIndex(1);
        self->resize(self->size().expandedTo(QSize(720, 620)));
        self->editor_->bodyField()->setFocus();
      });
}

void FollowUpDialog::done(int result) {
  editor_->saveEdits();
  QDialog::done(result);
}

FollowUpDialog* draftFollowUp(DesktopContext& context, const Uuid& contactID, QWidget* parent) {
  auto* dialog = new FollowUpDialog(context, contactID, parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return dialog;
}

}  // namespace qm::desktop
