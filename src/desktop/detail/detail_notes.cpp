#include "desktop/detail/detail_notes.h"

#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/confirmation.h"
#include "desktop/detail/desk_identity.h"
#include "desktop/detail/detail_edits.h"
#include "desktop/detail/note_dialog.h"
#include "desktop/detail/pane_text.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"
#include "store/note_text.h"

namespace qm::desktop {

namespace {

/// What a note says, as the contact exports write it.
QString shownNoteText(const ContactNote& note) {
  return qs(noteText(note));
}

}  // namespace

DetailNotes::DetailNotes(DetailEdits& edits, const DeskIdentity& desk, QAction* addNote,
                         QWidget* parent)
    : QWidget(parent), edits_(edits), desk_(desk) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  QPushButton* add = actionButton(addNote, this);
  add->setObjectName(QStringLiteral("addNote"));
  layout->addLayout(titleRow(tr("Notes"), add, this));
}

void DetailNotes::showRecord(const ContactRecord& record) {
  contact_ = record.contact;
  delete body_;
  body_ = new QWidget(this);
  auto* layout = new QVBoxLayout(body_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  if (record.notes.empty()) layout->addWidget(paneDetail(tr("No notes yet."), body_));
  for (const ContactNote& note : record.notes) {
    const QString text = shownNoteText(note);
    if (!text.isEmpty()) layout->addWidget(paneText(text, body_));
    auto* row = new QHBoxLayout;
    row->addWidget(paneDetail(joined({mediumDate(note.createdAt), qs(note.createdByName),
                                      coreText(displayLabel(note.noteType))}),
                              body_),
                   1);
    if (desk_.wroteHere(note)) {
      QPushButton* edit = recordButton(tr("Edit…"), tr("Edit note"), body_);
      connect(edit, &QPushButton::clicked, this, [this, note] { editNote(note); });
      QPushButton* remove = recordButton(tr("Delete…"), tr("Delete note"), body_);
      connect(remove, &QPushButton::clicked, this, [this, note] { deleteNote(note); });
      row->addWidget(edit, 0, Qt::AlignTop);
      row->addWidget(remove, 0, Qt::AlignTop);
    }
    row->setContentsMargins(0, 0, 0, 8);
    layout->addLayout(row);
  }
  // Added to a shown pane, it would otherwise show only at the next turn.
  this->layout()->addWidget(body_);
  body_->show();
}

void DetailNotes::addNote() {
  if (!contact_) return;
  const Contact about = *contact_;
  NoteDialog dialog(tr("Add Note"), tr("Note about %1:").arg(qs(about.fullName())), {}, this);
  if (dialog.exec() != QDialog::Accepted) return;
  edits_.send(about.id,
              {{QStringLiteral("command"), QStringLiteral("note.create")},
               {QStringLiteral("contactID"), uuidText(about.id)},
               {QStringLiteral("text"), dialog.text()}},
              [this, id = about.id](const QJsonObject& answer) { edits_.showPush(id, answer); });
}

void DetailNotes::editNote(const ContactNote& note) {
  if (!contact_) return;
  const Uuid contactID = contact_->id;
  NoteDialog dialog(tr("Edit Note"), tr("Note:"), shownNoteText(note), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const QString text = dialog.text();
  if (text.trimmed() == shownNoteText(note).trimmed()) return;
  const QString id = uuidText(note.id);
  edits_.send(contactID,
              {{QStringLiteral("command"), QStringLiteral("note.update")},
               {QStringLiteral("id"), id},
               {QStringLiteral("text"), text}},
              [this, id, contactID](const QJsonObject& answer) {
                edits_.showPush(contactID, answer);
                const QJsonValue previous = answer.value(QStringLiteral("previous"));
                if (!previous.isString()) return;
                edits_.offerUndo(tr("Note Edit"),
                                 {{QStringLiteral("command"), QStringLiteral("note.update")},
                                  {QStringLiteral("id"), id},
                                  {QStringLiteral("text"), previous}});
              });
}

void DetailNotes::deleteNote(const ContactNote& note) {
  if (!contact_) return;
  const Uuid contactID = contact_->id;
  const QString text = shownNoteText(note);
  if (!confirm(this,
               {tr("Delete Note?"),
                tr("This note will be deleted from this computer. This cannot be undone."),
                text.size() > 200 ? text.left(200) + QChar(0x2026) : text, tr("Delete Note")}))
    return;
  edits_.send(
      contactID,
      {{QStringLiteral("command"), QStringLiteral("note.delete")},
       {QStringLiteral("id"), uuidText(note.id)}},
      [this, contactID](const QJsonObject&) { edits_.showDone(contactID, tr("Note deleted.")); });
}

}  // namespace qm::desktop
