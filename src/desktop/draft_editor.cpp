#include "desktop/draft_editor.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "desktop/companion_link.h"
#include "desktop/draft_sending.h"
#include "desktop/flow_layout.h"
#include "desktop/language.h"
#include "desktop/private_file.h"
#include "desktop/qt_text.h"
#include "export/eml_export.h"
#include "export/eml_file_name.h"
#include "export/markdown_html.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

QString askForEmlFile(QWidget* parent, const QString& proposed) {
  return QFileDialog::getSaveFileName(parent, DraftEditor::tr("Export Email Draft"), proposed,
                                      DraftEditor::tr("E-mail message (*.eml)"));
}

QPushButton* makeButton(const QString& text, const QString& name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAccessibleName(text);
  return button;
}

}  // namespace

DraftEditor::DraftEditor(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context), chooseFile_(askForEmlFile) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  pages_ = new QStackedWidget(this);
  outer->addWidget(pages_);
  empty_ = new QLabel(tr("Choose a draft to read and edit it."), pages_);
  empty_->setAlignment(Qt::AlignCenter);
  empty_->setWordWrap(true);
  pages_->addWidget(empty_);

  auto* page = new QWidget(pages_);
  auto* layout = new QVBoxLayout(page);
  heading_ = new QLabel(page);
  heading_->setObjectName(QStringLiteral("draft-heading"));
  heading_->setWordWrap(true);
  heading_->setTextFormat(Qt::PlainText);
  QFont bold = heading_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.15);
  heading_->setFont(bold);
  layout->addWidget(heading_);

  auto* form = new QFormLayout;
  recipient_ = new QLineEdit(page);
  recipient_->setObjectName(QStringLiteral("draft-recipient"));
  recipient_->setAccessibleName(tr("To"));
  recipient_->setPlaceholderText(tr("The contact has no e-mail address: type one"));
  form->addRow(tr("T&o:"), recipient_);
  subject_ = new QLineEdit(page);
  subject_->setAccessibleName(tr("Subject"));
  form->addRow(tr("&Subject:"), subject_);
  // Status, tone and "Regenerate" wrap onto a second row when the editor is narrow.
  auto* row = new FlowLayout(nullptr, 8);
  status_ = new QComboBox(page);
  status_->setAccessibleName(tr("Status"));
  status_->addItem(tr("Draft"), QStringLiteral("draft"));
  status_->addItem(tr("Approved"), QStringLiteral("approved"));
  status_->addItem(tr("Sent"), QStringLiteral("sent"));
  status_->addItem(tr("Dismissed"), QStringLiteral("dismissed"));
  row->addWidget(status_);
  auto* toneBox = new QWidget(page);
  auto* toneRow = new QHBoxLayout(toneBox);
  toneRow->setContentsMargins(8, 0, 0, 0);
  auto* toneLabel = new QLabel(tr("&Tone:"), toneBox);
  tone_ = new QComboBox(toneBox);
  tone_->setAccessibleName(tr("Tone"));
  tone_->addItem(tr("Warm"), QStringLiteral("warm"));
  tone_->addItem(tr("Neutral"), QStringLiteral("neutral"));
  tone_->addItem(tr("Formal"), QStringLiteral("formal"));
  toneLabel->setBuddy(tone_);
  toneRow->addWidget(toneLabel);
  toneRow->addWidget(tone_);
  row->addWidget(toneBox);
  auto* regenerateButton =
      makeButton(tr("Regenerate draft with selected tone"), QStringLiteral("regenerate"), page);
  row->addWidget(regenerateButton);
  auto* statusLabel = new QLabel(tr("S&tatus:"), page);
  statusLabel->setBuddy(status_);
  form->addRow(statusLabel, row);
  layout->addLayout(form);

  auto* split = new QSplitter(Qt::Vertical, page);
  body_ = new QPlainTextEdit(split);
  body_->setAccessibleName(tr("Body"));
  body_->setTabChangesFocus(true);
  preview_ = new QTextBrowser(split);
  preview_->setAccessibleName(tr("Preview as the e-mail shows it"));
  preview_->setOpenLinks(false);
  // On white, as a mail program shows the message (its text is dark).
  preview_->setStyleSheet(QStringLiteral("QTextBrowser { background: #ffffff; color: #1F2937; }"));
  split->addWidget(body_);
  split->addWidget(preview_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  layout->addWidget(split, 1);

  busy_ = new QProgressBar(page);
  busy_->setRange(0, 0);
  busy_->setTextVisible(true);
  busy_->setAccessibleName(tr("Working"));
  busy_->hide();
  layout->addWidget(busy_);
  feedback_ = new QLabel(page);
  feedback_->setObjectName(QStringLiteral("draft-feedback"));
  feedback_->setAccessibleName(tr("Draft message"));
  feedback_->setWordWrap(true);
  feedback_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(feedback_);

  auto* buttons = new QHBoxLayout;
  auto* leftButtons = new FlowLayout;
  auto* save = makeButton(tr("Save"), QStringLiteral("save"), page);
  save->setToolTip(tr("Save the subject and body (Ctrl+S)"));
  auto* eml = makeButton(tr("Save .eml"), QStringLiteral("save-eml"), page);
  auto* copy = makeButton(tr("Copy to Clipboard"), QStringLiteral("copy"), page);
  auto* mail = makeButton(tr("Open in Mail"), QStringLiteral("open-in-mail"), page);
  for (QPushButton* b : {save, eml, copy, mail}) leftButtons->addWidget(b);
  buttons->addLayout(leftButtons, 1);
  auto* send = makeButton(tr("Send"), QStringLiteral("send"), page);
  send->setToolTip(tr("Send through your mail server (Settings ▸ Mail), saving the edits first"));
  buttons->addWidget(send, 0, Qt::AlignTop);
  layout->addLayout(buttons);
  actions_ = {regenerateButton, save, eml, copy, mail, send, status_, tone_};
  pages_->addWidget(page);

  auto* shortcut = new QShortcut(QKeySequence::Save, this);
  shortcut->setContext(Qt::WidgetWithChildrenShortcut);
  connect(shortcut, &QShortcut::activated, this, &DraftEditor::saveEdits);
  connect(save, &QPushButton::clicked, this, &DraftEditor::saveEdits);
  connect(regenerateButton, &QPushButton::clicked, this, &DraftEditor::regenerate);
  connect(eml, &QPushButton::clicked, this, &DraftEditor::saveEml);
  connect(copy, &QPushButton::clicked, this, &DraftEditor::copyToClipboard);
  connect(mail, &QPushButton::clicked, this, &DraftEditor::openInMail);
  connect(send, &QPushButton::clicked, this, &DraftEditor::send);
  connect(body_, &QPlainTextEdit::textChanged, this, &DraftEditor::updatePreview);
  connect(status_, &QComboBox::activated, this,
          [this] { setStatus(status_->currentData().toString()); });
}

void DraftEditor::showDraft(const std::optional<Uuid>& draftID) {
  if (draftID_ && draftID != draftID_) saveEdits();
  const bool other = draftID != draftID_;
  draftID_ = draftID;
  if (other) {
    savedSubject_.clear();
    savedBody_.clear();
    savedRecipient_.clear();
    subject_->clear();
    recipient_->clear();
    body_->clear();
    say({});
    toneFromDraft_ = true;
  }
  load();
}

void DraftEditor::reload() {
  load();
}

void DraftEditor::load() {
  if (!draftID_) {
    empty_->setText(tr("Choose a draft to read and edit it."));
    pages_->setCurrentIndex(0);
    return;
  }
  auto loaded = loadDraftMessage(context_.store, *draftID_);
  if (!loaded) {
    empty_->setText(loaded.error().code == ErrorCode::notFound ? tr("This draft no longer exists.")
                                                               : qs(loaded.error().message));
    pages_->setCurrentIndex(0);
    return;
  }
  const FollowUpDraft& draft = loaded->draft;
  QString heading = loaded->contact ? qs(loaded->contact->fullName()) : tr("No contact");
  if (loaded->contact && !loaded->contact->company.empty())
    heading += QStringLiteral(" · ") + qs(loaded->contact->company);
  heading_->setText(heading);
  // Text being edited stays; otherwise the stored text is shown.
  const bool keepEdits = isModified();
  savedSubject_ = qs(draft.subject);
  savedBody_ = qs(draft.body);
  savedRecipient_ = qs(recipientAddress(*loaded));
  contactEmail_ =
      loaded->contact && loaded->contact->email ? qs(*loaded->contact->email) : QString();
  {
    UserDefaults defaults(context_.paths.defaultsFile());
    signature_ = qs(AppSettings(defaults).emailSignature());
  }
  if (!keepEdits) {
    if (recipient_->text() != savedRecipient_) recipient_->setText(savedRecipient_);
    if (subject_->text() != savedSubject_) {
      subject_->setText(savedSubject_);
      subject_->setCursorPosition(0);  // a long subject shows its beginning
    }
    if (body_->toPlainText() != savedBody_) body_->setPlainText(savedBody_);
  }
  savedStatus_ = qs(draft.status);
  status_->setCurrentIndex(std::max(0, status_->findData(savedStatus_)));
  // The tone to regenerate with starts as the draft's; a choice made stays.
  if (const int tone = tone_->findData(qs(draft.tone)); tone >= 0 && toneFromDraft_) {
    tone_->setCurrentIndex(tone);
    toneFromDraft_ = false;
  }
  updatePreview();
  pages_->setCurrentIndex(1);
}

bool DraftEditor::isModified() const {
  return draftID_ && (subject_->text() != savedSubject_ || body_->toPlainText() != savedBody_ ||
                      recipient_->text().trimmed() != savedRecipient_);
}

void DraftEditor::updatePreview() {
  preview_->setHtml(
      qs(markdownToHTML(bodyWithSignature(utf8(body_->toPlainText()), utf8(signature_)))));
}

void DraftEditor::say(const QString& text, bool error) {
  feedback_->setText(text);
  feedback_->setStyleSheet(error ? QStringLiteral("color: #c62828;") : QString());
}

void DraftEditor::setBusy(bool busy, const QString& what) {
  busy_->setVisible(busy);
  busy_->setFormat(what);
  for (QWidget* w : actions_) w->setEnabled(!busy);
  subject_->setReadOnly(busy);
  recipient_->setReadOnly(busy);
  body_->setReadOnly(busy);
  Q_EMIT busyChanged(busy);
}

void DraftEditor::saveEdits() {
  saveEditsThen({});
}

void DraftEditor::saveEditsThen(std::function<void(bool saved)> then) {
  if (!isModified()) {
    if (then) then(true);
    return;
  }
  const QString subject = subject_->text();
  const QString body = body_->toPlainText();
  const QString recipient = recipient_->text().trimmed();
  // What is sent counts as saved at once, so a reload meanwhile keeps the
  // text; a failure puts the old text back as the saved one.
  const QString oldSubject = std::exchange(savedSubject_, subject);
  const QString oldBody = std::exchange(savedBody_, body);
  const QString oldRecipient = std::exchange(savedRecipient_, recipient);
  const Uuid id = *draftID_;
  QPointer<DraftEditor> self(this);
  // The contact's own address is not kept a second time: the draft follows
  // it when it changes.
  context_.link.request({{"command", "drafts.update"},
                         {"id", uuidText(id)},
                         {"subject", subject},
                         {"body", body},
                         {"recipientEmail", recipient == contactEmail_ ? QString() : recipient}},
                        [self, id, oldSubject, oldBody, oldRecipient, then](const QJsonObject&,
                                                                            const QString& error) {
                          if (!self) return;
                          if (self->draftID_ == id && !error.isEmpty()) {
                            self->savedSubject_ = oldSubject;
                            self->savedBody_ = oldBody;
                            self->savedRecipient_ = oldRecipient;
                            self->say(error, true);
                          } else if (self->draftID_ == id) {
                            self->say(tr("Saved."));
                          }
                          if (then) then(error.isEmpty());
                        });
}

void DraftEditor::setStatus(const QString& status) {
  if (!draftID_ || status == savedStatus_) return;
  QPointer<DraftEditor> self(this);
  const Uuid id = *draftID_;
  context_.link.request(
      {{"command", "drafts.update"}, {"id", uuidText(id)}, {"status", status}},
      [self, id](const QJsonObject& result, const QString& error) {
        if (!self || self->draftID_ != id) return;
        if (!error.isEmpty()) {
          self->say(error, true);
          self->status_->setCurrentIndex(std::max(0, self->status_->findData(self->savedStatus_)));
          return;
        }
        self->savedStatus_ = result.value("status").toString();
        self->say(tr("Marked %1.").arg(self->status_->currentText()));
      });
}

void DraftEditor::regenerate() {
  if (!draftID_) return;
  if (isModified() &&
      QMessageBox::question(this, tr("Regenerate Draft"),
                            tr("A new draft replaces the subject and body, with your unsaved "
                               "edits. Regenerate anyway?")) != QMessageBox::Yes)
    return;
  auto loaded = loadDraftMessage(context_.store, *draftID_);
  if (!loaded || !loaded->contact) {
    say(loaded ? tr("This draft has no contact to write to.") : qs(loaded.error().message), true);
    return;
  }
  const Uuid id = *draftID_;
  setBusy(true, tr("Writing the draft…"));
  say({});
  QPointer<DraftEditor> self(this);
  context_.link.request(
      {{"command", "drafts.generate"},
       {"contactID", uuidText(loaded->contact->id)},
       {"tone", tone_->currentData().toString()},
       {"regenerate", uuidText(id)}},
      [self, id](const QJsonObject& result, const QString& error) {
        if (!self) return;
        self->setBusy(false);
        if (self->draftID_ != id) return;
        if (!error.isEmpty()) return self->say(coreText(utf8(error)), true);
        self->savedSubject_ = result.value("subject").toString();
        self->savedBody_ = result.value("body").toString();
        self->subject_->setText(self->savedSubject_);
        self->body_->setPlainText(self->savedBody_);
        self->say(tr("Written again in a %1 tone.").arg(self->tone_->currentText().toLower()));
      });
}

bool DraftEditor::message(DraftMessage* out) {
  if (!draftID_) return false;
  auto loaded = loadDraftMessage(context_.store, *draftID_);
  if (!loaded) {
    say(qs(loaded.error().message), true);
    return false;
  }
  *out = std::move(*loaded);
  // What is on the screen, saved or not.
  out->draft.subject = utf8(subject_->text());
  out->draft.body = utf8(body_->toPlainText());
  out->draft.recipientEmail = utf8(recipient_->text().trimmed());
  return true;
}

namespace {

EmlOptions messageOptions(const DesktopContext& context, bool forMailProgram = false) {
  UserDefaults defaults(context.paths.defaultsFile());
  EmlOptions options = emlOptionsFrom(AppSettings(defaults));
  options.forMailProgram = forMailProgram;
  return options;
}

}  // namespace

QString exportFolder(const DesktopContext& context) {
  UserDefaults defaults(context.paths.defaultsFile());
  const QString folder = qs(AppSettings(defaults).defaultExportFolderPath().string());
  if (!folder.isEmpty()) return folder;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return documents.isEmpty() ? QDir::homePath() : documents;
}

void DraftEditor::saveEml() {
  DraftMessage draft;
  if (!message(&draft)) return;
  const QString proposed = QDir(exportFolder(context_)).filePath(qs(emlFileName(draft)));
  const QString file = chooseFile_(this, proposed);
  if (file.isEmpty()) return;
  if (Status written =
          exportDraft(draft, messageOptions(context_), QFile::encodeName(file).toStdString());
      !written) {
    say(tr("Failed to save: ") + qs(written.error().message), true);
    return;
  }
  say(tr("Saved %1").arg(QDir::toNativeSeparators(file)));
}

void DraftEditor::copyToClipboard() {
  if (!draftID_) return;
  QGuiApplication::clipboard()->setText(subject_->text() + QStringLiteral("\n\n") +
                                        body_->toPlainText());
  say(tr("Copied the subject and body to the clipboard."));
}

void DraftEditor::openInMail() {
  DraftMessage draft;
  if (!message(&draft)) return;
  QString error;
  const QString file = writePrivateCopy(qs(emlFileName(draft)),
                                        emlContent(draft, messageOptions(context_, true)), &error);
  if (file.isEmpty()) {
    say(tr("Failed to save: ") + error, true);
    return;
  }
  QPointer<DraftEditor> self(this);
  externalOpener()(file, [self](const QString& failure) {
    if (!self) return;
    if (failure.isEmpty())
      self->say(tr("Opened in your mail program."));
    else
      self->say(tr("Could not open the message in a mail program: %1").arg(failure), true);
  });
}

void DraftEditor::send() {
  if (!draftID_) return;
  const Uuid id = *draftID_;
  setBusy(true, tr("Sending…"));
  QPointer<DraftEditor> self(this);
  // What is on the screen is what goes: the edits are saved first.
  saveEditsThen([self, id](bool saved) {
    if (!self) return;
    if (!saved) return self->setBusy(false);
    auto* sending = new DraftSending(self->context_.link, self);
    connect(sending, &DraftSending::finished, self,
            [self, sending, id](const QJsonObject& summary, const QString& error) {
              sending->deleteLater();
              self->setBusy(false);
              if (self->draftID_ != id) return;
              self->reload();
              if (!error.isEmpty()) return self->say(error, true);
              self->say(DraftSending::outcomeText(summary, self->recipient_->text().trimmed()),
                        summary.value("sent").toInt() != 1);
            });
    sending->sendDrafts({id});
  });
}

void DraftEditor::hideEvent(QHideEvent* event) {
  saveEdits();
  QWidget::hideEvent(event);
}

}  // namespace qm::desktop
