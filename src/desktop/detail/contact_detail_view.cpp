#include "desktop/detail/contact_detail_view.h"

#include <QAction>
#include <QDesktopServices>
#include <QKeySequence>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "common/log.h"
#include "desktop/contact_edit_dialog.h"
#include "desktop/detail/current_contact.h"
#include "desktop/detail/desk_identity.h"
#include "desktop/detail/detail_captures.h"
#include "desktop/detail/detail_drafts.h"
#include "desktop/detail/detail_edits.h"
#include "desktop/detail/detail_fields.h"
#include "desktop/detail/detail_header.h"
#include "desktop/detail/detail_notes.h"
#include "desktop/detail/detail_opportunities.h"
#include "desktop/follow_up_action.h"
#include "desktop/qt_text.h"
#include "desktop/text_tone.h"

namespace qm::desktop {

namespace {

constexpr int kMargin = 12;

}  // namespace

ContactDetailView::ContactDetailView(DesktopContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      current_(new CurrentContact(this)),
      desk_(new DeskIdentity(context, this)),
      edits_(new DetailEdits(context, this)),
      openUrl_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
  setAccessibleName(tr("Contact details"));
  setMinimumWidth(kMinimumWidth);

  const auto keys = [](const QKeySequence& sequence) {
    return sequence.toString(QKeySequence::NativeText);
  };
  const QKeySequence editKeys(Qt::Key_F2);
  const QKeySequence draftKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_D);
  const QKeySequence noteKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_N);
  edit_ = makeAction(tr("Edit…"), QStringLiteral("editContact"),
                     tr("Edit this contact (%1)").arg(keys(editKeys)), editKeys);
  target_ = makeAction(tr("Mark as Target"), QStringLiteral("toggleTarget"),
                       tr("Mark this contact as a target, or no longer"));
  draft_ = makeAction(tr("Draft Follow-Up Email"), QStringLiteral("draftFollowUp"),
                      tr("Write a follow-up e-mail to this contact (%1)").arg(keys(draftKeys)),
                      draftKeys);
  fromTemplate_ = makeAction(tr("Write from Template"), QStringLiteral("writeFromTemplate"),
                             tr("Write a follow-up e-mail at once from a template, without an AI"));
  note_ = makeAction(tr("Add Note…"), QStringLiteral("addNote"),
                     tr("Add a note about this contact (%1)").arg(keys(noteKeys)), noteKeys);
  opportunity_ = makeAction(tr("New Opportunity…"), QStringLiteral("newOpportunity"),
                            tr("Record an opportunity with this contact"));
  connect(edit_, &QAction::triggered, this, &ContactDetailView::editContact);
  connect(target_, &QAction::triggered, this, [this] {
    const ContactRecord* shown = shownCurrent();
    if (!shown) return;
    const bool on = !shown->contact.isTarget;
    edits_->updateContact(shown->contact, {{QStringLiteral("isTarget"), on}},
                          on ? tr("Mark as Target") : tr("Not a Target"));
  });
  connect(draft_, &QAction::triggered, this, &ContactDetailView::draftFollowUp);
  connect(fromTemplate_, &QAction::triggered, this, [this] {
    if (const ContactRecord* shown = shownCurrent())
      desktop::draftFollowUp(context_, shown->contact.id, this,
                             FollowUpDialog::Offer::fromTemplate);
  });
  connect(note_, &QAction::triggered, this, &ContactDetailView::addNote);
  connect(opportunity_, &QAction::triggered, this, &ContactDetailView::newOpportunity);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  pages_ = new QStackedWidget(this);
  layout->addWidget(pages_, 1);
  layout->addWidget(edits_->statusLine());

  empty_ = new QWidget(pages_);
  auto* emptyLayout = new QVBoxLayout(empty_);
  emptyLayout->setContentsMargins(24, 24, 24, 24);
  auto* nothing = new QLabel(tr("No contact selected"), empty_);
  nothing->setObjectName(QStringLiteral("noContact"));
  nothing->setAlignment(Qt::AlignCenter);
  nothing->setWordWrap(true);
  QFont larger = nothing->font();
  larger.setPointSizeF(larger.pointSizeF() * 1.2);
  nothing->setFont(larger);
  setTextTone(nothing, TextTone::secondary);
  auto* hint = new QLabel(tr("Choose a contact in the list to see its details."), empty_);
  hint->setAlignment(Qt::AlignCenter);
  hint->setWordWrap(true);
  setTextTone(hint, TextTone::secondary);
  emptyLayout->addStretch(1);
  emptyLayout->addWidget(nothing);
  emptyLayout->addWidget(hint);
  emptyLayout->addStretch(2);
  pages_->addWidget(empty_);

  // The header and its actions stay in view; the rest scrolls under it.
  content_ = new QWidget(pages_);
  auto* contentLayout = new QVBoxLayout(content_);
  contentLayout->setContentsMargins(0, 0, 0, 0);
  contentLayout->setSpacing(0);
  header_ = new DetailHeader({edit_, target_, draft_, fromTemplate_}, content_);
  header_->setContentsMargins(kMargin, kMargin, kMargin, 8);
  contentLayout->addWidget(header_);
  scroll_ = new QScrollArea(content_);
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setFocusPolicy(Qt::NoFocus);
  auto* sections = new QWidget;
  auto* sectionsLayout = new QVBoxLayout(sections);
  sectionsLayout->setContentsMargins(kMargin, 0, kMargin, kMargin);
  sectionsLayout->setSpacing(4);
  fields_ = new DetailFields(*desk_, sections);
  notes_ = new DetailNotes(*edits_, *desk_, note_, sections);
  opportunities_ = new DetailOpportunities(context_, *edits_, opportunity_, sections);
  captures_ = new DetailCaptures(context_.paths, sections);
  drafts_ = new DetailDrafts(sections);
  for (QWidget* section :
       std::initializer_list<QWidget*>{fields_, notes_, opportunities_, captures_, drafts_})
    sectionsLayout->addWidget(section);
  sectionsLayout->addStretch(1);
  scroll_->setWidget(sections);
  contentLayout->addWidget(scroll_, 1);
  pages_->addWidget(content_);
  pages_->setCurrentWidget(empty_);

  connect(current_, &CurrentContact::changed, this, &ContactDetailView::showCurrent);
  connect(edits_, &DetailEdits::saved, this, &ContactDetailView::showCurrent);
  connect(edits_, &DetailEdits::undoableEdit, this, &ContactDetailView::undoableEdit);
  connect(desk_, &DeskIdentity::changed, this, [this] {
    if (!shown_) return;
    fields_->showContact(shown_->contact);
    notes_->showRecord(*shown_);
  });
  connect(fields_, &DetailFields::linkActivated, this, [this](const QUrl& url) {
    if (openUrl_) openUrl_(url);
  });
  connect(drafts_, &DetailDrafts::draftChosen, this, &ContactDetailView::draftChosen);
  showEmpty();
}

ContactDetailView::~ContactDetailView() = default;

QAction* ContactDetailView::makeAction(const QString& text, const QString& name,
                                       const QString& toolTip, const QKeySequence& keys) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  action->setToolTip(toolTip);
  if (!keys.isEmpty()) {
    action->setShortcut(keys);
    // From anywhere in the window while the pane is shown: the list above all.
    action->setShortcutContext(Qt::WindowShortcut);
    QWidget::addAction(action);
  }
  return action;
}

void ContactDetailView::follow(QItemSelectionModel* selection, int idRole) {
  current_->follow(selection, idRole);
}

std::optional<Uuid> ContactDetailView::contactID() const {
  return current_->id();
}

void ContactDetailView::reload() {
  showCurrent();
}

QString ContactDetailView::shownName() const {
  return isEmptyState() ? QString() : header_->shownName();
}

bool ContactDetailView::isEmptyState() const {
  return pages_->currentWidget() == empty_;
}

QLabel* ContactDetailView::editStatusLabel() const {
  return edits_->statusLine();
}

const ContactRecord* ContactDetailView::shownCurrent() const {
  if (!shown_ || isEmptyState() || current_->id() != shown_->contact.id) return nullptr;
  return &*shown_;
}

void ContactDetailView::showEmpty() {
  pages_->setCurrentWidget(empty_);
  edits_->setShownContact(std::nullopt);
  for (QAction* action : {edit_, target_, draft_, fromTemplate_, note_, opportunity_})
    action->setEnabled(false);
}

void ContactDetailView::showCurrent() {
  const std::optional<Uuid> id = current_->id();
  if (!id) return showEmpty();
  auto record = readContactRecord(context_.store, context_.paths, *id);
  if (!record) {
    // Keep what is shown; the next change reads again.
    log::data().error("Cannot read the contact {}: {}", id->str(), record.error().message);
    return;
  }
  if (!*record) return showEmpty();  // deleted; the list drops it when it reads again
  const bool sameContact = shown_ && shown_->contact.id == *id;
  if (!sameContact || !(*shown_ == **record)) {
    shown_ = std::move(**record);
    header_->showRecord(*shown_);
    fields_->showContact(shown_->contact);
    notes_->showRecord(*shown_);
    opportunities_->showRecord(*shown_);
    captures_->showRecord(*shown_);
    drafts_->showRecord(*shown_);
    target_->setText(shown_->contact.isTarget ? tr("Not a Target") : tr("Mark as Target"));
  }
  edits_->setShownContact(id);
  for (QAction* action : {edit_, target_, draft_, fromTemplate_, note_, opportunity_})
    action->setEnabled(true);
  pages_->setCurrentWidget(content_);
  if (!sameContact) scroll_->verticalScrollBar()->setValue(0);
}

void ContactDetailView::editContact() {
  const ContactRecord* shown = shownCurrent();
  if (!shown) return;
  const Contact contact = shown->contact;
  ContactEditDialog dialog(contact, this);
  dialog.setSaver([this, contact](const QJsonObject& changes, ContactEditDialog::Answered done) {
    edits_->updateContact(contact, changes, tr("Edit of %1").arg(qs(contact.fullName())),
                          std::move(done));
  });
  dialog.exec();
}

void ContactDetailView::draftFollowUp() {
  if (const ContactRecord* shown = shownCurrent())
    desktop::draftFollowUp(context_, shown->contact.id, this);
}

void ContactDetailView::addNote() {
  if (shownCurrent()) notes_->addNote();
}

void ContactDetailView::newOpportunity() {
  if (shownCurrent()) opportunities_->newOpportunity();
}

}  // namespace qm::desktop
