#include "desktop/contact_detail_view.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "common/enum_info.h"
#include "common/log.h"
#include "desktop/capture_preview.h"
#include "desktop/companion_link.h"
#include "desktop/confirmation.h"
#include "desktop/contact_edit_dialog.h"
#include "desktop/contact_list_model.h"
#include "desktop/follow_up_action.h"
#include "desktop/language.h"
#include "desktop/opportunity_edit_dialog.h"
#include "desktop/qt_text.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"
#include "store/note_text.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

constexpr int kThumbnail = 96;
constexpr int kThumbnailColumns = 3;

/// Badge colours of the meeting indicator, white text on each.
QString meetingColor(MeetingIndicator indicator) {
  switch (indicator) {
    case MeetingIndicator::met:
      return QStringLiteral("#2e7d32");
    case MeetingIndicator::metByTeammate:
      return QStringLiteral("#00796b");
    case MeetingIndicator::notMet:
      return QStringLiteral("#616161");
    case MeetingIndicator::archived:
      return QStringLiteral("#5d4037");
    case MeetingIndicator::declined:
      return QStringLiteral("#c62828");
    case MeetingIndicator::noShow:
      return QStringLiteral("#e65100");
  }
  return QStringLiteral("#616161");
}

QString firstOf(std::initializer_list<const std::optional<std::string>*> values) {
  for (const auto* value : values)
    if (*value && !(*value)->empty()) return qs(**value);
  return {};
}

QString joined(const QStringList& parts, const QString& separator = QStringLiteral(" · ")) {
  QStringList kept;
  for (const QString& part : parts)
    if (!part.trimmed().isEmpty()) kept << part;
  return kept.join(separator);
}

QString dateTime(const std::optional<Date>& date) {
  if (!date) return {};
  return QLocale().toString(toQDateTime(*date), QLocale::ShortFormat);
}

/// A label that wraps to the pane instead of widening it, and whose text can
/// be selected and copied.
QLabel* textLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  label->setSizePolicy(policy);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  return label;
}

QLabel* mutedLabel(const QString& text, QWidget* parent) {
  QLabel* label = textLabel(text, parent);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
  label->setPalette(palette);
  return label;
}

QLabel* sectionTitle(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.1);
  label->setFont(font);
  label->setContentsMargins(0, 12, 0, 2);
  label->setAccessibleName(text);
  return label;
}

using Rows = std::vector<std::pair<QString, QString>>;

/// A titled group of name/value rows; rows without a value are left out and
/// a group without any is not shown.
void addGroup(QVBoxLayout* layout, QWidget* parent, const QString& title, const Rows& rows) {
  if (std::none_of(rows.begin(), rows.end(),
                   [](const auto& row) { return !row.second.trimmed().isEmpty(); }))
    return;
  layout->addWidget(sectionTitle(title, parent));
  auto* form = new QFormLayout;
  form->setRowWrapPolicy(QFormLayout::WrapLongRows);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
  form->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
  form->setHorizontalSpacing(12);
  for (const auto& [name, value] : rows) {
    if (value.trimmed().isEmpty()) continue;
    auto* nameLabel = new QLabel(name, parent);
    QPalette palette = nameLabel->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    nameLabel->setPalette(palette);
    QLabel* valueLabel = textLabel(value, parent);
    valueLabel->setAccessibleName(name);
    nameLabel->setBuddy(valueLabel);
    form->addRow(nameLabel, valueLabel);
  }
  layout->addLayout(form);
}

/// What a note says, as the contact exports write it.
QString shownNoteText(const ContactNote& note) {
  return qs(noteText(note));
}

QImage thumbnail(const QString& file, qreal ratio) {
  QImageReader reader(file);
  reader.setAutoTransform(true);
  const QSize full = reader.size();
  if (full.isValid()) {
    reader.setScaledSize(
        full.scaled(QSize(kThumbnail, kThumbnail) * ratio, Qt::KeepAspectRatio).expandedTo({1, 1}));
  }
  QImage image = reader.read();
  if (!image.isNull() && !full.isValid())
    image = image.scaled(QSize(kThumbnail, kThumbnail) * ratio, Qt::KeepAspectRatio,
                         Qt::SmoothTransformation);
  image.setDevicePixelRatio(ratio);
  return image;
}

}  // namespace

ContactDetailView::ContactDetailView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setAccessibleName(tr("Contact details"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  pages_ = new QStackedWidget(this);
  empty_ = new QLabel(tr("Select a contact to see its details."), pages_);
  empty_->setAlignment(Qt::AlignCenter);
  empty_->setWordWrap(true);
  empty_->setEnabled(false);
  empty_->setMargin(24);
  pages_->addWidget(empty_);
  scroll_ = new QScrollArea(pages_);
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->setFrameShape(QFrame::NoFrame);
  pages_->addWidget(scroll_);
  layout->addWidget(pages_);
  editStatus_ = new QLabel(this);
  editStatus_->setObjectName(QStringLiteral("editStatus"));
  editStatus_->setAccessibleName(tr("Last edit"));
  editStatus_->setWordWrap(true);
  editStatus_->setMargin(8);
  editStatus_->hide();
  layout->addWidget(editStatus_);
  pages_->setCurrentWidget(empty_);

  // Notes written on this computer carry its device identifier.
  QPointer<ContactDetailView> self(this);
  context_.link.request({{QStringLiteral("command"), QStringLiteral("status")}},
                        [self](const QJsonObject& status, const QString&) {
                          if (!self) return;
                          self->deviceID_ = status.value(QStringLiteral("deviceID")).toString();
                          if (self->shown_) self->build(*self->shown_);
                        });
}

void ContactDetailView::showContact(const std::optional<Uuid>& contactID) {
  if (contactID != contactID_) {
    shown_.reset();
    editStatus_->hide();
  }
  contactID_ = contactID;
  reload();
}

QString ContactDetailView::shownName() const {
  return !isEmptyState() && name_ ? name_->text() : QString();
}

bool ContactDetailView::isEmptyState() const {
  return pages_->currentWidget() == empty_;
}

void ContactDetailView::reload() {
  if (!contactID_) {
    shown_.reset();
    pages_->setCurrentWidget(empty_);
    return;
  }
  auto snapshot = read(*contactID_);
  if (!snapshot) {
    // Keep what is shown; the next change reads again.
    log::data().error("Cannot read the contact {}: {}", contactID_->str(),
                      snapshot.error().message);
    return;
  }
  if (!*snapshot) {
    contactID_.reset();
    shown_.reset();
    pages_->setCurrentWidget(empty_);
    return;
  }
  if (shown_ && *shown_ == **snapshot && pages_->currentWidget() == scroll_) return;
  const bool sameContact = shown_.has_value();
  const int scrolled = scroll_->verticalScrollBar()->value();
  shown_ = std::move(**snapshot);
  build(*shown_);
  pages_->setCurrentWidget(scroll_);
  // A change to the shown contact keeps the place the user scrolled to.
  if (sameContact && scrolled > 0) {
    QTimer::singleShot(0, this,
                       [this, scrolled] { scroll_->verticalScrollBar()->setValue(scrolled); });
  }
}

Result<std::optional<ContactDetailView::Snapshot>> ContactDetailView::read(const Uuid& contactID) {
  Store& store = context_.store;
  auto contact = QM_TRY(store.find<Contact>(contactID));
  if (!contact) return std::optional<Snapshot>{};
  Snapshot s;
  s.contact = std::move(*contact);
  s.notes = QM_TRY(notesOf(store, contactID));
  std::stable_sort(s.notes.begin(), s.notes.end(), [](const ContactNote& a, const ContactNote& b) {
    return a.createdAt > b.createdAt;
  });
  s.captures = QM_TRY(capturesOf(store, contactID));
  for (const CaptureMedia& capture : s.captures) {
    std::error_code error;
    s.captureFilesPresent.push_back(
        std::filesystem::is_regular_file(utf8(imageFile(s.contact, capture)), error));
  }
  s.drafts = QM_TRY(draftsOf(store, contactID));
  // Linked as a stakeholder, or the contact the opportunity came from.
  const auto links = QM_TRY(stakeholdersOfContact(store, contactID));
  for (const OpportunityStakeholder& link : links) {
    if (!link.opportunityID) continue;
    auto opportunity = QM_TRY(store.find<Opportunity>(*link.opportunityID));
    if (!opportunity) continue;
    s.opportunities.push_back(std::move(*opportunity));
    s.roles.push_back(link.role);
  }
  const auto originated = QM_TRY(store.fetch<Opportunity>({Match{"originContactID", contactID}}));
  for (const Opportunity& o : originated) {
    if (std::any_of(s.opportunities.begin(), s.opportunities.end(),
                    [&](const Opportunity& known) { return known.id == o.id; }))
      continue;
    s.opportunities.push_back(o);
    s.roles.push_back(std::nullopt);
  }
  return std::optional<Snapshot>{std::move(s)};
}

void ContactDetailView::build(const Snapshot& shown) {
  const Contact& c = shown.contact;
  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(4);
  layout->addWidget(buildHeader(c, content));

  QStringList location;
  for (const auto* part : {&c.city, &c.stateRegion, &c.country})
    if (*part && !(*part)->empty()) location << qs(**part);
  addGroup(layout, content, tr("Contact"),
           {{tr("E-mail"), firstOf({&c.email, &c.verifiedEmail})},
            {tr("Phone"), firstOf({&c.phone, &c.verifiedPhone})},
            {tr("LinkedIn"), qs(c.linkedinURL)},
            {tr("Location"), location.join(QStringLiteral(", "))}});
  addGroup(layout, content, tr("Company"),
           {{tr("Industry"), firstOf({&c.companyIndustry, &c.industry})},
            {tr("Size"), firstOf({&c.companySize, &c.companyEmployeeCount})},
            {tr("Website"), qs(c.companyWebsite)},
            {tr("Summary"), qs(c.companySummary)}});

  QStringList alsoMetBy;
  for (const std::string& name : c.alsoMetBy) alsoMetBy << qs(name);
  const QLocale locale;
  addGroup(layout, content, tr("Meeting"),
           {{tr("Status"), coreText(displayLabel(c.status))},
            {tr("Met at"), dateTime(c.metAt)},
            {tr("Rating"),
             c.interactionRating && *c.interactionRating > 0
                 ? QString(static_cast<int>(std::min<std::int64_t>(*c.interactionRating, 10)),
                           QChar(0x2605))
                 : QString()},
            {tr("Owner"), qs(c.ownedBy)},
            {tr("Tier"), firstOf({&c.tier, &c.priorityTier})},
            {tr("Score"), c.overallScore ? locale.toString(*c.overallScore, 'f', 1) : QString()},
            {tr("Also met by"), alsoMetBy.join(QStringLiteral(", "))}});
  addGroup(layout, content, tr("Talking points"),
           {{tr("About them"), qs(c.personTalkingPoints)},
            {tr("About the company"), qs(c.companyTalkingPoints)}});

  addNotes(shown, layout, content);
  addOpportunities(shown, layout, content);
  addCaptures(shown, layout, content);
  addDrafts(shown, layout, content);
  layout->addStretch(1);
  scroll_->setWidget(content);  // deletes the pane shown before
}

QWidget* ContactDetailView::buildHeader(const Contact& c, QWidget* parent) {
  auto* header = new QWidget(parent);
  auto* layout = new QVBoxLayout(header);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);

  const QString fullName = qs(c.fullName());
  name_ = textLabel(fullName.isEmpty() ? tr("Unnamed contact") : fullName, header);
  name_->setAccessibleName(tr("Name"));
  name_->setToolTip(name_->text());
  QFont large = name_->font();
  large.setPointSizeF(large.pointSizeF() * 1.6);
  large.setBold(true);
  name_->setFont(large);
  layout->addWidget(name_);

  QLabel* role = textLabel(joined({qs(c.title), qs(c.displayCompany())}), header);
  role->setAccessibleName(tr("Title and company"));
  role->setToolTip(role->text());
  layout->addWidget(role);

  auto* marks = new QHBoxLayout;
  marks->setSpacing(8);
  const MeetingIndicator indicator = c.meetingIndicator();
  auto* badge = new QLabel(meetingText(indicator), header);
  badge->setAccessibleName(tr("Meeting status"));
  badge->setStyleSheet(QStringLiteral("QLabel { background: %1; color: white; border-radius: 4px;"
                                      " padding: 2px 8px; font-weight: 600; }")
                           .arg(meetingColor(indicator)));
  marks->addWidget(badge);
  if (c.isTarget) marks->addWidget(new QLabel(tr("◎ Target"), header));
  if (c.isFavorite) marks->addWidget(new QLabel(tr("★ Favourite"), header));
  marks->addStretch(1);
  layout->addLayout(marks);

  auto* actions = new QHBoxLayout;
  actions->setSpacing(6);
  auto* edit = new QPushButton(tr("Edit…"), header);
  edit->setObjectName(QStringLiteral("editContact"));
  edit->setToolTip(tr("Edit this contact (F2)"));
  edit->setShortcut(Qt::Key_F2);
  connect(edit, &QPushButton::clicked, this, &ContactDetailView::editContact);
  actions->addWidget(edit);
  auto* target = new QPushButton(c.isTarget ? tr("Not a Target") : tr("Mark as Target"), header);
  target->setObjectName(QStringLiteral("toggleTarget"));
  connect(target, &QPushButton::clicked, this, [this, on = !c.isTarget] {
    updateContact({{QStringLiteral("isTarget"), on}},
                  on ? tr("Mark as Target") : tr("Not a Target"));
  });
  actions->addWidget(target);
  actions->addStretch(1);
  layout->addLayout(actions);
  // The two ways of writing a follow-up share a row of their own, so the
  // pane stays narrow in every language.
  auto* writing = new QHBoxLayout;
  writing->setSpacing(6);
  auto* draft = new QPushButton(tr("Draft Follow-Up Email"), header);
  draft->setObjectName(QStringLiteral("draftFollowUp"));
  connect(draft, &QPushButton::clicked, this, &ContactDetailView::draftFollowUp);
  writing->addWidget(draft);
  auto* fromTemplate = new QPushButton(tr("Write from Template"), header);
  fromTemplate->setObjectName(QStringLiteral("writeFromTemplate"));
  fromTemplate->setToolTip(tr("Write a follow-up e-mail at once from a template, without an AI"));
  connect(fromTemplate, &QPushButton::clicked, this, [this] {
    if (shown_)
      desktop::draftFollowUp(context_, shown_->contact.id, this,
                             FollowUpDialog::Offer::fromTemplate);
  });
  writing->addWidget(fromTemplate);
  writing->addStretch(1);
  layout->addLayout(writing);
  return header;
}

namespace {

/// A section title with a button beside it.
QHBoxLayout* titledRow(QLabel* title, QPushButton* button) {
  auto* row = new QHBoxLayout;
  row->addWidget(title);
  row->addStretch(1);
  row->addWidget(button, 0, Qt::AlignBottom);
  return row;
}

/// Small flat buttons under a record ("Edit…", "Delete…").
QPushButton* smallButton(const QString& text, const QString& accessibleName, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setFlat(true);
  button->setAccessibleName(accessibleName);
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

}  // namespace

void ContactDetailView::addNotes(const Snapshot& shown, QVBoxLayout* layout, QWidget* parent) {
  auto* add = new QPushButton(tr("Add Note…"), parent);
  add->setObjectName(QStringLiteral("addNote"));
  connect(add, &QPushButton::clicked, this, &ContactDetailView::addNote);
  layout->addLayout(titledRow(sectionTitle(tr("Notes"), parent), add));
  for (const ContactNote& note : shown.notes) {
    const QString text = shownNoteText(note);
    if (!text.isEmpty()) layout->addWidget(textLabel(text, parent));
    auto* row = new QHBoxLayout;
    QLabel* about = mutedLabel(joined({shortDate(note.createdAt), qs(note.createdByName),
                                       coreText(displayLabel(note.noteType))}),
                               parent);
    row->addWidget(about, 1);
    if (isDesktopNote(note)) {
      QPushButton* edit = smallButton(tr("Edit…"), tr("Edit note"), parent);
      connect(edit, &QPushButton::clicked, this, [this, note] { editNote(note); });
      QPushButton* remove = smallButton(tr("Delete…"), tr("Delete note"), parent);
      connect(remove, &QPushButton::clicked, this, [this, note] { deleteNote(note); });
      row->addWidget(edit);
      row->addWidget(remove);
    }
    row->setContentsMargins(0, 0, 0, 8);
    layout->addLayout(row);
  }
}

void ContactDetailView::addOpportunities(const Snapshot& shown, QVBoxLayout* layout,
                                         QWidget* parent) {
  auto* add = new QPushButton(tr("New Opportunity…"), parent);
  add->setObjectName(QStringLiteral("newOpportunity"));
  connect(add, &QPushButton::clicked, this, &ContactDetailView::newOpportunity);
  layout->addLayout(titledRow(sectionTitle(tr("Opportunities"), parent), add));
  const QLocale locale;
  for (std::size_t i = 0; i < shown.opportunities.size(); ++i) {
    const Opportunity& o = shown.opportunities[i];
    QLabel* title = textLabel(o.title.empty() ? tr("Untitled opportunity") : qs(o.title), parent);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    QLabel* about =
        mutedLabel(joined({qs(o.companyName), qs(o.stage),
                           o.value ? locale.toCurrencyString(*o.value, qs(o.currency)) : QString(),
                           qs(o.timeline), qs(shown.roles[i])}),
                   parent);
    auto* row = new QHBoxLayout;
    row->addWidget(about, 1);
    QPushButton* edit = smallButton(tr("Edit…"), tr("Edit opportunity"), parent);
    connect(edit, &QPushButton::clicked, this, [this, o] { editOpportunity(o); });
    QPushButton* remove = smallButton(tr("Delete…"), tr("Delete opportunity"), parent);
    connect(remove, &QPushButton::clicked, this, [this, o] { deleteOpportunity(o); });
    row->addWidget(edit);
    row->addWidget(remove);
    row->setContentsMargins(0, 0, 0, 8);
    layout->addLayout(row);
  }
}

void ContactDetailView::addCaptures(const Snapshot& shown, QVBoxLayout* layout, QWidget* parent) {
  if (shown.captures.empty()) return;
  layout->addWidget(sectionTitle(tr("Captures"), parent));
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(8);
  const qreal ratio = devicePixelRatioF();
  for (std::size_t i = 0; i < shown.captures.size(); ++i) {
    const CaptureMedia& capture = shown.captures[i];
    const QString file = imageFile(shown.contact, capture);
    const QString caption = capture.caption && !capture.caption->empty()
                                ? qs(capture.caption)
                                : coreText(displayLabel(capture.captureType));
    auto* tile = new QWidget(parent);
    auto* tileLayout = new QVBoxLayout(tile);
    tileLayout->setContentsMargins(0, 0, 0, 0);
    tileLayout->setSpacing(2);
    auto* button = new QToolButton(tile);
    button->setFixedSize(kThumbnail + 8, kThumbnail + 8);
    button->setAutoRaise(true);
    button->setToolTip(caption);
    const QImage image = shown.captureFilesPresent[i] ? thumbnail(file, ratio) : QImage();
    if (image.isNull()) {
      button->setText(tr("missing"));
      button->setAccessibleName(tr("Capture image missing: %1").arg(caption));
    } else {
      button->setIcon(QIcon(QPixmap::fromImage(image)));
      button->setIconSize(QSize(kThumbnail, kThumbnail));
      button->setAccessibleName(tr("Capture image: %1").arg(caption));
    }
    connect(button, &QToolButton::clicked, this, [this, capture] { openPreview(capture); });
    tileLayout->addWidget(button, 0, Qt::AlignHCenter);
    auto* label = new QLabel(caption, tile);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFixedWidth(kThumbnail + 8);
    label->setText(label->fontMetrics().elidedText(caption, Qt::ElideRight, kThumbnail + 8));
    tileLayout->addWidget(label);
    const int at = static_cast<int>(i);
    grid->addWidget(tile, at / kThumbnailColumns, at % kThumbnailColumns,
                    Qt::AlignLeft | Qt::AlignTop);
  }
  grid->setColumnStretch(kThumbnailColumns, 1);
  layout->addLayout(grid);
}

void ContactDetailView::addDrafts(const Snapshot& shown, QVBoxLayout* layout, QWidget* parent) {
  if (shown.drafts.empty()) return;
  layout->addWidget(sectionTitle(tr("Drafts"), parent));
  for (const FollowUpDraft& d : shown.drafts) {
    const QString subject = d.subject.empty() ? tr("(no subject)") : qs(d.subject);
    auto* link = new QLabel(parent);
    link->setTextFormat(Qt::RichText);
    link->setText(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(uuidText(d.id), subject.toHtmlEscaped()));
    link->setWordWrap(true);
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    link->setSizePolicy(policy);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setAccessibleName(tr("Draft: %1").arg(subject));
    link->setToolTip(tr("Show this draft"));
    connect(link, &QLabel::linkActivated, this, [this](const QString& href) {
      if (auto id = uuidFromText(href)) Q_EMIT draftChosen(*id);
    });
    layout->addWidget(link);
    const auto status = parseEnum<DraftStatus>(d.status);
    QLabel* about = mutedLabel(joined({status ? coreText(displayLabel(*status)) : qs(d.status),
                                       shortDate(d.editedAt.value_or(d.generatedAt))}),
                               parent);
    about->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(about);
  }
}

QString ContactDetailView::imageFile(const Contact& contact, const CaptureMedia& capture) const {
  if (!contact.eventID || capture.imageFileName.empty()) return {};
  return qs(
      captureImageURL(context_.paths.documents, *contact.eventID, capture.imageFileName).string());
}

void ContactDetailView::openPreview(const CaptureMedia& capture) {
  if (!shown_) return;
  auto* preview = new CapturePreview(capture, imageFile(shown_->contact, capture), this);
  preview->setAttribute(Qt::WA_DeleteOnClose);
  preview->open();
}

// --- edits ------------------------------------------------------------------

bool ContactDetailView::isDesktopNote(const ContactNote& note) const {
  return !deviceID_.isEmpty() && note.createdByDeviceID &&
         qs(*note.createdByDeviceID).compare(deviceID_, Qt::CaseInsensitive) == 0;
}

void ContactDetailView::send(const QJsonObject& request,
                             std::function<void(const QJsonObject&)> saved) {
  QPointer<ContactDetailView> self(this);
  context_.link.request(
      request, [self, saved = std::move(saved)](const QJsonObject& answer, const QString& error) {
        if (!self) return;
        if (!error.isEmpty()) return self->showEditError(error);
        saved(answer);
      });
}

void ContactDetailView::showDone(const QString& text) {
  editStatus_->setText(text);
  editStatus_->setStyleSheet(QString());
  editStatus_->show();
}

void ContactDetailView::showEditError(const QString& error) {
  editStatus_->setText(tr("Not saved: %1").arg(error));
  editStatus_->setStyleSheet(QStringLiteral("color: #c62828;"));
  editStatus_->show();
}

void ContactDetailView::showPush(const QJsonObject& answer) {
  const QString push = answer.value(QStringLiteral("push")).toString();
  const QString message = answer.value(QStringLiteral("pushMessage")).toString();
  if (push == QLatin1String("sent")) return showDone(tr("Saved and sent to the phone."));
  if (push == QLatin1String("queued")) {
    // The companion's own words for a phone that is away; the change waits for it.
    return showDone(
        tr("Saved. %1 — the change is sent when the phone is back.")
            .arg(message.isEmpty() ? QStringLiteral("Not connected to iPhone") : message));
  }
  editStatus_->setText(tr("Saved here only: %1").arg(message));
  editStatus_->setStyleSheet(QStringLiteral("color: #e65100;"));
  editStatus_->show();
}

void ContactDetailView::updateContact(const QJsonObject& fields, const QString& description) {
  if (!shown_ || fields.isEmpty()) return;
  const QString id = uuidText(shown_->contact.id);
  send({{QStringLiteral("command"), QStringLiteral("contact.update")},
        {QStringLiteral("id"), id},
        {QStringLiteral("fields"), fields}},
       [this, id, description](const QJsonObject& answer) {
         showPush(answer);
         const QJsonObject previous = answer.value(QStringLiteral("previous")).toObject();
         if (previous.isEmpty()) return;
         Q_EMIT undoableEdit(description,
                             {{QStringLiteral("command"), QStringLiteral("contact.update")},
                              {QStringLiteral("id"), id},
                              {QStringLiteral("fields"), previous}});
       });
}

void ContactDetailView::editContact() {
  if (!shown_) return;
  ContactEditDialog dialog(shown_->contact, this);
  if (dialog.exec() != QDialog::Accepted) return;
  updateContact(dialog.changes(), tr("Edit of %1").arg(qs(shown_->contact.fullName())));
}

void ContactDetailView::draftFollowUp() {
  if (shown_) desktop::draftFollowUp(context_, shown_->contact.id, this);
}

void ContactDetailView::addNote() {
  if (!shown_) return;
  bool ok = false;
  const QString text = QInputDialog::getMultiLineText(
      this, tr("Add Note"), tr("Note about %1:").arg(qs(shown_->contact.fullName())), {}, &ok);
  if (!ok || text.trimmed().isEmpty()) return;
  send({{QStringLiteral("command"), QStringLiteral("note.create")},
        {QStringLiteral("contactID"), uuidText(shown_->contact.id)},
        {QStringLiteral("text"), text}},
       [this](const QJsonObject& answer) { showPush(answer); });
}

void ContactDetailView::editNote(const ContactNote& note) {
  bool ok = false;
  const QString text =
      QInputDialog::getMultiLineText(this, tr("Edit Note"), tr("Note:"), shownNoteText(note), &ok);
  if (!ok || text.trimmed().isEmpty() || text.trimmed() == shownNoteText(note).trimmed()) return;
  const QString id = uuidText(note.id);
  send({{QStringLiteral("command"), QStringLiteral("note.update")},
        {QStringLiteral("id"), id},
        {QStringLiteral("text"), text}},
       [this, id](const QJsonObject& answer) {
         showPush(answer);
         const QJsonValue previous = answer.value(QStringLiteral("previous"));
         if (!previous.isString()) return;
         Q_EMIT undoableEdit(tr("Note Edit"),
                             {{QStringLiteral("command"), QStringLiteral("note.update")},
                              {QStringLiteral("id"), id},
                              {QStringLiteral("text"), previous}});
       });
}

void ContactDetailView::deleteNote(const ContactNote& note) {
  const QString text = shownNoteText(note);
  if (!confirm(this,
               {tr("Delete Note?"),
                tr("This note will be deleted from this computer. This cannot be undone."),
                text.size() > 200 ? text.left(200) + QChar(0x2026) : text, tr("Delete Note")}))
    return;
  send({{QStringLiteral("command"), QStringLiteral("note.delete")},
        {QStringLiteral("id"), uuidText(note.id)}},
       [this](const QJsonObject&) { showDone(tr("Note deleted.")); });
}

namespace {

/// The user's pipeline stages as the companion keeps them.
std::vector<PipelineStage> pipelineStages(const DesktopContext& context) {
  UserDefaults defaults(context.paths.defaultsFile());
  return PipelineManager(defaults).stages();
}

}  // namespace

void ContactDetailView::newOpportunity() {
  if (!shown_) return;
  Opportunity blank = Opportunity::create("", shown_->contact.company, shown_->contact.eventID);
  const auto stages = pipelineStages(context_);
  if (!stages.empty()) blank.stage = stages.front().name;
  OpportunityEditDialog dialog(blank, stages, true, this);
  if (dialog.exec() != QDialog::Accepted) return;
  QJsonObject request = dialog.fields();
  request[QStringLiteral("command")] = QStringLiteral("opportunity.create");
  request[QStringLiteral("contactID")] = uuidText(shown_->contact.id);
  send(request, [this](const QJsonObject&) { showDone(tr("Opportunity saved.")); });
}

void ContactDetailView::editOpportunity(const Opportunity& opportunity) {
  OpportunityEditDialog dialog(opportunity, pipelineStages(context_), false, this);
  if (dialog.exec() != QDialog::Accepted) return;
  QJsonObject request = dialog.fields();
  if (request.isEmpty()) return;
  // Undo sends back the fields as they were before this edit.
  QJsonObject undo;
  const QJsonObject was = opportunityFields(opportunity);
  for (auto it = request.begin(); it != request.end(); ++it) undo[it.key()] = was.value(it.key());
  const QString id = uuidText(opportunity.id);
  request[QStringLiteral("command")] = undo[QStringLiteral("command")] =
      QStringLiteral("opportunity.update");
  request[QStringLiteral("id")] = undo[QStringLiteral("id")] = id;
  send(request, [this, undo, title = qs(opportunity.title)](const QJsonObject&) {
    showDone(tr("Opportunity saved."));
    Q_EMIT undoableEdit(tr("Edit of %1").arg(title), undo);
  });
}

void ContactDetailView::deleteOpportunity(const Opportunity& opportunity) {
  if (!confirm(this, {tr("Delete Opportunity?"),
                      tr("“%1” and its links to contacts will be deleted. This cannot be undone.")
                          .arg(qs(opportunity.title)),
                      {},
                      tr("Delete Opportunity")}))
    return;
  send({{QStringLiteral("command"), QStringLiteral("opportunity.delete")},
        {QStringLiteral("id"), uuidText(opportunity.id)}},
       [this](const QJsonObject&) { showDone(tr("Opportunity deleted.")); });
}

}  // namespace qm::desktop
