#include "desktop/contact_detail_view.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
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
#include "desktop/contact_list_model.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"
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

/// What a note says: its typed text, else the best transcription or
/// recognised handwriting.
QString noteText(const ContactNote& note) {
  return firstOf({&note.textContent, &note.cleanedText, &note.transcriptionProcessed,
                  &note.transcriptionRaw, &note.rawOCRText});
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
  pages_->setCurrentWidget(empty_);
}

void ContactDetailView::showContact(const std::optional<Uuid>& contactID) {
  if (contactID != contactID_) shown_.reset();
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
  return header;
}

void ContactDetailView::addNotes(const Snapshot& shown, QVBoxLayout* layout, QWidget* parent) {
  if (shown.notes.empty()) return;
  layout->addWidget(sectionTitle(tr("Notes"), parent));
  for (const ContactNote& note : shown.notes) {
    const QString text = noteText(note);
    if (!text.isEmpty()) layout->addWidget(textLabel(text, parent));
    QLabel* about = mutedLabel(joined({shortDate(note.createdAt), qs(note.createdByName),
                                       coreText(displayLabel(note.noteType))}),
                               parent);
    about->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(about);
  }
}

void ContactDetailView::addOpportunities(const Snapshot& shown, QVBoxLayout* layout,
                                         QWidget* parent) {
  if (shown.opportunities.empty()) return;
  layout->addWidget(sectionTitle(tr("Opportunities"), parent));
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
    about->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(about);
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

}  // namespace qm::desktop
