#include "desktop/detail/detail_fields.h"

#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "common/enum_info.h"
#include "desktop/detail/desk_identity.h"
#include "desktop/detail/pane_text.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"
#include "desktop/text_tone.h"

namespace qm::desktop {

namespace {

/// One row of a group: its name, the value shown and, for a link, where it goes.
struct Row {
  QString name;
  QString value;
  QUrl link = {};
};

QString firstOf(std::initializer_list<const std::optional<std::string>*> values) {
  for (const auto* value : values)
    if (*value && !(*value)->empty()) return qs(**value);
  return {};
}

/// The text of a link, with places where a long address may wrap: after "@"
/// and before each ".", which plain word wrapping does not break at.
QString breakableLinkText(const QString& text) {
  QString breakable = text.toHtmlEscaped();
  breakable.replace(QLatin1Char('@'), QStringLiteral("@&#8203;"));
  breakable.replace(QLatin1Char('.'), QStringLiteral("&#8203;."));
  return breakable;
}

QLabel* valueLabel(const Row& row, QWidget* parent, DetailFields* fields) {
  if (!row.link.isValid()) return paneText(row.value, parent);
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::RichText);
  label->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                     .arg(row.link.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                          breakableLinkText(row.value)));
  QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  label->setSizePolicy(policy);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  label->setToolTip(row.link.toString());
  QObject::connect(label, &QLabel::linkActivated, fields,
                   [fields](const QString& href) { Q_EMIT fields->linkActivated(QUrl(href)); });
  return label;
}

}  // namespace

QUrl mailtoURL(const QString& email) {
  const QString address = email.trimmed();
  if (!address.contains(QLatin1Char('@')) || address.contains(QLatin1Char(' '))) return {};
  return QUrl(QStringLiteral("mailto:") + address);
}

QUrl telURL(const QString& phone) {
  // The digits and the leading "+" a dialer needs; spaces, dots, dashes and
  // brackets only help people read.
  QString number;
  int digits = 0;
  for (const QChar c : phone.trimmed()) {
    if (c.isDigit()) {
      number += c;
      ++digits;
    } else if (c == QLatin1Char('+') && number.isEmpty()) {
      number += c;
    }
  }
  if (digits < 3) return {};
  return QUrl(QStringLiteral("tel:") + number);
}

QUrl webURL(const QString& address) {
  QString text = address.trimmed();
  if (text.isEmpty() || text.contains(QLatin1Char(' '))) return {};
  if (!text.contains(QStringLiteral("://"))) text.prepend(QStringLiteral("https://"));
  const QUrl url(text, QUrl::TolerantMode);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || url.host().isEmpty() ||
      (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
    return {};
  return url;
}

DetailFields::DetailFields(const DeskIdentity& desk, QWidget* parent)
    : QWidget(parent), desk_(desk) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

void DetailFields::showContact(const Contact& c) {
  delete body_;
  body_ = new QWidget(this);
  auto* layout = new QVBoxLayout(body_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);

  const auto group = [&](const QString& title, const std::vector<Row>& rows) {
    if (std::none_of(rows.begin(), rows.end(),
                     [](const Row& row) { return !row.value.trimmed().isEmpty(); }))
      return;
    layout->addWidget(sectionTitle(title, body_));
    auto* form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->setHorizontalSpacing(12);
    for (const Row& row : rows) {
      if (row.value.trimmed().isEmpty()) continue;
      auto* name = new QLabel(row.name, body_);
      setTextTone(name, TextTone::secondary);
      QLabel* value = valueLabel(row, body_, this);
      value->setAccessibleName(row.name);
      name->setBuddy(value);
      form->addRow(name, value);
    }
    layout->addLayout(form);
  };

  QStringList location;
  for (const auto* piece : {&c.city, &c.stateRegion, &c.country})
    if (*piece && !(*piece)->empty()) location << qs(**piece);
  const QString email = firstOf({&c.email, &c.verifiedEmail});
  const QString phone = firstOf({&c.phone, &c.verifiedPhone});
  const QString linkedIn = qs(c.linkedinURL);
  const QString website = qs(c.companyWebsite);
  group(tr("Contact"), {{tr("E-mail"), email, mailtoURL(email)},
                        {tr("Phone"), phone, telURL(phone)},
                        {tr("LinkedIn"), linkedIn, webURL(linkedIn)},
                        {tr("Location"), location.join(QStringLiteral(", "))}});
  group(tr("Company"), {{tr("Industry"), firstOf({&c.companyIndustry, &c.industry})},
                        {tr("Size"), firstOf({&c.companySize, &c.companyEmployeeCount})},
                        {tr("Website"), website, webURL(website)},
                        {tr("Summary"), qs(c.companySummary)}});

  const QLocale locale;
  const bool met = c.status == MeetingStatus::met;
  group(tr("Meeting"),
        {{tr("Status"), coreText(displayLabel(c.status))},
         {tr("Met at"), met ? mediumDateTime(c.metAt) : QString()},
         {tr("Rating"),
          c.interactionRating && *c.interactionRating > 0
              ? QString(static_cast<int>(std::min<std::int64_t>(*c.interactionRating, 10)),
                        QChar(0x2605))
              : QString()},
         {tr("Owner"), qs(c.ownedBy)},
         {tr("Tier"), firstOf({&c.tier, &c.priorityTier})},
         {tr("Score"), c.overallScore ? locale.toString(*c.overallScore, 'f', 1) : QString()},
         {tr("Also met by"), desk_.teammates(c.alsoMetBy).join(QStringLiteral(", "))}});
  group(tr("Talking points"), {{tr("About them"), qs(c.personTalkingPoints)},
                               {tr("About the company"), qs(c.companyTalkingPoints)}});
  // Added to a shown pane, it would otherwise show only at the next turn.
  this->layout()->addWidget(body_);
  body_->show();
}

}  // namespace qm::desktop
