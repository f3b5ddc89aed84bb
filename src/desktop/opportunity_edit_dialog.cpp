#include "desktop/opportunity_edit_dialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

#include "common/enum_info.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"
#include "store/record_enums.h"

namespace qm::desktop {

namespace {

QIcon swatch(const std::string& colorHex) {
  QPixmap pixmap(12, 12);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(QLatin1Char('#') + qs(colorHex)));
  painter.drawEllipse(pixmap.rect().adjusted(1, 1, -1, -1));
  return QIcon(pixmap);
}

/// A choice among an enumeration's raw values (which are also its labels),
/// with "None" first.
template <class E>
QComboBox* optionalChoice(const std::optional<std::string>& current, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->addItem(QCoreApplication::translate("qm::desktop::OpportunityEditDialog", "None"),
               QVariant());
  for (E value : allCases<E>()) box->addItem(coreText(rawValue(value)), qs(rawValue(value)));
  if (current) {
    int at = box->findData(qs(*current));
    if (at < 0) {  // a value from elsewhere is kept as it is
      box->addItem(qs(*current), qs(*current));
      at = box->count() - 1;
    }
    box->setCurrentIndex(at);
  }
  return box;
}

QJsonValue optionalValue(const QComboBox* box) {
  const QVariant data = box->currentData();
  return data.isValid() ? QJsonValue(data.toString()) : QJsonValue();
}

QJsonValue optionalText(const std::optional<std::string>& text) {
  return text ? QJsonValue(qs(*text)) : QJsonValue();
}

}  // namespace

QJsonObject opportunityFields(const Opportunity& o) {
  return {
      {QStringLiteral("title"), qs(o.title)},
      {QStringLiteral("companyName"), qs(o.companyName)},
      {QStringLiteral("value"), o.value && *o.value > 0 ? QJsonValue(*o.value) : QJsonValue()},
      {QStringLiteral("currency"), qs(o.currency)},
      {QStringLiteral("stage"), qs(o.stage)},
      {QStringLiteral("timeline"), optionalText(o.timeline)},
      {QStringLiteral("confidence"), optionalText(o.confidence)},
      {QStringLiteral("nextStep"), qs(o.nextStep)},
      {QStringLiteral("notes"), optionalText(o.notes)},
  };
}

OpportunityEditDialog::OpportunityEditDialog(const Opportunity& opportunity,
                                             std::vector<PipelineStage> stages, bool isNew,
                                             QWidget* parent)
    : QDialog(parent), opportunity_(opportunity), isNew_(isNew) {
  setWindowTitle(isNew ? tr("New Opportunity") : tr("Edit Opportunity"));
  setAccessibleName(windowTitle());
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  fields->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  layout->addLayout(fields);

  title_ = new QLineEdit(qs(opportunity.title), this);
  title_->setAccessibleName(tr("Title"));
  title_->setPlaceholderText(tr("What could be sold"));
  title_->setMinimumWidth(320);
  fields->addRow(tr("Title"), title_);
  company_ = new QLineEdit(qs(opportunity.companyName), this);
  company_->setAccessibleName(tr("Company"));
  fields->addRow(tr("Company"), company_);

  value_ = new QDoubleSpinBox(this);
  value_->setRange(0, 1e12);
  value_->setDecimals(2);
  value_->setGroupSeparatorShown(true);
  value_->setSpecialValueText(tr("None"));
  value_->setValue(opportunity.value.value_or(0));
  value_->setAccessibleName(tr("Value"));
  currency_ = new QLineEdit(qs(opportunity.currency), this);
  currency_->setAccessibleName(tr("Currency"));
  currency_->setMaxLength(8);
  currency_->setFixedWidth(currency_->fontMetrics().horizontalAdvance(QStringLiteral("WWWWW")));
  auto* money = new QHBoxLayout;
  money->addWidget(value_, 1);
  money->addWidget(currency_);
  fields->addRow(tr("Value"), money);

  stage_ = new QComboBox(this);
  stage_->setAccessibleName(tr("Stage"));
  bool known = false;
  for (const PipelineStage& stage : stages) {
    stage_->addItem(swatch(stage.colorHex), qs(stage.name), qs(stage.name));
    if (QString::compare(qs(stage.name), qs(opportunity.stage), Qt::CaseInsensitive) == 0) {
      stage_->setCurrentIndex(stage_->count() - 1);
      known = true;
    }
  }
  if (!known && !opportunity.stage.empty()) {
    stage_->addItem(tr("%1 (not in the pipeline)").arg(qs(opportunity.stage)),
                    qs(opportunity.stage));
    stage_->setCurrentIndex(stage_->count() - 1);
  }
  fields->addRow(tr("Stage"), stage_);

  timeline_ = optionalChoice<OpportunityTimeline>(opportunity.timeline, this);
  timeline_->setAccessibleName(tr("Timeline"));
  fields->addRow(tr("Timeline"), timeline_);
  confidence_ = optionalChoice<OpportunityConfidence>(opportunity.confidence, this);
  confidence_->setAccessibleName(tr("Confidence"));
  fields->addRow(tr("Confidence"), confidence_);
  nextStep_ = new QLineEdit(qs(opportunity.nextStep), this);
  nextStep_->setAccessibleName(tr("Next step"));
  fields->addRow(tr("Next step"), nextStep_);
  notes_ = new QPlainTextEdit(qs(opportunity.notes), this);
  notes_->setAccessibleName(tr("Notes"));
  notes_->setTabChangesFocus(true);
  notes_->setMinimumHeight(80);
  fields->addRow(tr("Notes"), notes_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  QPushButton* save = buttons->button(QDialogButtonBox::Save);
  auto titled = [this, save] { save->setEnabled(!title_->text().trimmed().isEmpty()); };
  connect(title_, &QLineEdit::textChanged, this, titled);
  titled();
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  title_->setFocus();
}

QJsonObject OpportunityEditDialog::fields() const {
  QJsonObject all;
  all[QStringLiteral("title")] = title_->text().trimmed();
  all[QStringLiteral("companyName")] = company_->text().trimmed();
  all[QStringLiteral("value")] = value_->value() > 0 ? QJsonValue(value_->value()) : QJsonValue();
  all[QStringLiteral("currency")] = currency_->text().trimmed();
  all[QStringLiteral("stage")] = stage_->currentData().toString();
  all[QStringLiteral("timeline")] = optionalValue(timeline_);
  all[QStringLiteral("confidence")] = optionalValue(confidence_);
  all[QStringLiteral("nextStep")] = nextStep_->text().trimmed();
  const QString notes = notes_->toPlainText().trimmed();
  all[QStringLiteral("notes")] = notes.isEmpty() ? QJsonValue() : QJsonValue(notes);
  if (isNew_) return all;

  const QJsonObject before = opportunityFields(opportunity_);
  QJsonObject changed;
  for (auto it = all.begin(); it != all.end(); ++it)
    if (before.value(it.key()) != it.value()) changed[it.key()] = it.value();
  return changed;
}

}  // namespace qm::desktop
