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
#include <initializer_list>

#include "desktop/companion_link.h"
#include "desktop/draft_editor.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"
#include "store/contact.h"
#include "store/store.h"

namespace qm::desktop {

FollowUpDialog::FollowUpDialog(DesktopContext& context, const Uuid& contactID, QWidget* parent,
                               Offer offer)
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
  fromTemplate_ = buttons->addButton(tr("Write from Template"), QDialogButtonBox::ActionRole);
  fromTemplate_->setObjectName(QStringLiteral("write-from-template"));
  fromTemplate_->setToolTip(
      tr("Write the draft at once from the tone's template (Settings ▸ Templates), without an "
         "AI"));
  generate_ = buttons->addButton(tr("Generate"), QDialogButtonBox::AcceptRole);
  generate_->setAccessibleName(tr("Generate"));
  (offer == Offer::fromTemplate ? fromTemplate_ : generate_)->setDefault(true);
  connect(fromTemplate_, &QPushButton::clicked, this, &FollowUpDialog::writeFromTemplate);
  connect(generate_, &QPushButton::clicked, this, &FollowUpDialog::generate);
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
  resize(480, 200);
}

bool FollowUpDialog::isBusy() const {
  return busy_->isVisible();
}

void FollowUpDialog::generate() {
  request(false);
}

void FollowUpDialog::writeFromTemplate() {
  request(true);
}

void FollowUpDialog::request(bool fromTemplate) {
  if (isBusy()) return;
  busy_->show();
  error_->hide();
  for (QWidget* control : std::initializer_list<QWidget*>{generate_, fromTemplate_, tone_})
    control->setEnabled(false);
  QJsonObject ask{{"command", "drafts.generate"},
                  {"contactID", uuidText(contactID_)},
                  {"tone", tone_->currentData().toString()}};
  if (fromTemplate) ask.insert("template", true);
  QPointer<FollowUpDialog> self(this);
  context_.link.request(ask, [self](const QJsonObject& result, const QString& error) {
    if (!self) return;
    self->busy_->hide();
    for (QWidget* control :
         std::initializer_list<QWidget*>{self->generate_, self->fromTemplate_, self->tone_})
      control->setEnabled(true);
    const auto id = uuidFromText(result.value("draftID").toString());
    if (!error.isEmpty() || !id) {
      // The companion's reason, in the window's language when it is one
      // the catalogue knows (nothing to write with, say).
      self->error_->setText(error.isEmpty() ? tr("The companion wrote no draft.")
                                            : coreText(utf8(error)));
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

FollowUpDialog* draftFollowUp(DesktopContext& context, const Uuid& contactID, QWidget* parent,
                              FollowUpDialog::Offer offer) {
  auto* dialog = new FollowUpDialog(context, contactID, parent, offer);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return dialog;
}

}  // namespace qm::desktop
