#include <QColorDialog>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "desktop/companion_link.h"
#include "desktop/qt_text.h"
#include "desktop/settings_page.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"

namespace qm::desktop {

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kColorRole = Qt::UserRole + 1;

/// A round swatch of the stage's colour for its row.
QIcon swatch(const QString& hex, int side) {
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QColor(0, 0, 0, 60));
  painter.setBrush(QColor(QLatin1Char('#') + hex));
  painter.drawEllipse(QRectF(0.5, 0.5, side - 1.0, side - 1.0));
  return QIcon(pixmap);
}

}  // namespace

PipelineSettingsTab::PipelineSettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent) {
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("pipelineStages"));
  list_->setAccessibleName(tr("Pipeline stages"));
  list_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  add_ = new QPushButton(tr("Add Stage"), this);
  rename_ = new QPushButton(tr("Rename"), this);
  rename_->setAccessibleName(tr("Rename the chosen stage"));
  color_ = new QPushButton(tr("Colour…"), this);
  color_->setAccessibleName(tr("Choose the chosen stage's colour"));
  up_ = new QPushButton(tr("Move Up"), this);
  down_ = new QPushButton(tr("Move Down"), this);
  remove_ = new QPushButton(tr("Remove"), this);
  remove_->setAccessibleName(tr("Remove the chosen stage"));
  error_ = makeErrorLabel();
  error_->setObjectName(QStringLiteral("pipelineError"));

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {add_, rename_, color_, up_, down_, remove_}) buttons->addWidget(b);
  buttons->addStretch(1);
  auto* row = new QHBoxLayout;
  row->addWidget(list_, 1);
  row->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(makeHeading(tr("Pipeline Stages")));
  auto* about = new QLabel(tr("The stages an opportunity moves through, first to last. An "
                              "opportunity whose stage is removed keeps its stage's name."),
                           this);
  about->setWordWrap(true);
  layout->addWidget(about);
  layout->addLayout(row, 1);
  layout->addWidget(error_);

  connect(list_, &QListWidget::itemChanged, this, &PipelineSettingsTab::renamed);
  connect(list_, &QListWidget::currentRowChanged, this, &PipelineSettingsTab::updateButtons);
  connect(add_, &QPushButton::clicked, this, &PipelineSettingsTab::addStage);
  connect(rename_, &QPushButton::clicked, this, [this] {
    if (auto* item = list_->currentItem()) list_->editItem(item);
  });
  connect(color_, &QPushButton::clicked, this, &PipelineSettingsTab::chooseColor);
  connect(up_, &QPushButton::clicked, this, [this] { move(-1); });
  connect(down_, &QPushButton::clicked, this, [this] { move(1); });
  connect(remove_, &QPushButton::clicked, this, &PipelineSettingsTab::removeStage);
  updateButtons();
}

void PipelineSettingsTab::reload() {
  UserDefaults defaults(context_.paths.defaultsFile());
  PipelineManager manager(defaults);
  QJsonArray stages;
  for (const PipelineStage& stage : manager.stages())
    stages.append(QJsonObject{
        {"id", uuidText(stage.id)}, {"name", qs(stage.name)}, {"colorHex", qs(stage.colorHex)}});
  showStages(stages);
}

void PipelineSettingsTab::showStages(const QJsonArray& stages) {
  const int row = list_->currentRow();
  filling_ = true;
  list_->clear();
  const int side = list_->fontMetrics().height() - 2;
  for (const QJsonValue& value : stages) {
    const QJsonObject stage = value.toObject();
    auto* item = new QListWidgetItem(stage.value("name").toString(), list_);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setData(kIdRole, stage.value("id").toString());
    item->setData(kColorRole, stage.value("colorHex").toString());
    item->setIcon(swatch(stage.value("colorHex").toString(), side));
  }
  filling_ = false;
  list_->setCurrentRow(std::clamp(row, 0, list_->count() - 1));
  updateButtons();
}

void PipelineSettingsTab::renamed(QListWidgetItem* item) {
  if (filling_) return;
  const QString name = item->text().simplified();
  QString refusal;
  if (name.isEmpty()) refusal = tr("A stage needs a name.");
  for (int i = 0; i < list_->count() && refusal.isEmpty(); ++i) {
    if (list_->item(i) != item && list_->item(i)->text().compare(name, Qt::CaseInsensitive) == 0)
      refusal = tr("There is already a stage called “%1”.").arg(list_->item(i)->text());
  }
  if (!refusal.isEmpty()) {
    showText(error_, refusal);
    // The name as stored, once the list is done telling of this change.
    QTimer::singleShot(0, this, &PipelineSettingsTab::reload);
    return;
  }
  if (name != item->text()) {
    const QSignalBlocker quiet(list_);
    item->setText(name);
  }
  write();
}

void PipelineSettingsTab::addStage() {
  QString name = tr("New Stage");
  for (int n = 2;; ++n) {
    const auto taken = [&] {
      for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) return true;
      return false;
    };
    if (!taken()) break;
    name = tr("New Stage %1").arg(n);
  }
  filling_ = true;
  auto* item = new QListWidgetItem(name, list_);
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  item->setData(kColorRole, QStringLiteral("8E8E93"));
  item->setIcon(swatch(QStringLiteral("8E8E93"), list_->fontMetrics().height() - 2));
  filling_ = false;
  list_->setCurrentItem(item);
  write();
  list_->editItem(list_->currentItem());
}

void PipelineSettingsTab::removeStage() {
  if (list_->count() <= 1 || !list_->currentItem()) return;
  delete list_->takeItem(list_->currentRow());
  write();
}

void PipelineSettingsTab::move(int by) {
  const int row = list_->currentRow();
  const int to = row + by;
  if (row < 0 || to < 0 || to >= list_->count()) return;
  filling_ = true;
  QListWidgetItem* item = list_->takeItem(row);
  list_->insertItem(to, item);
  filling_ = false;
  list_->setCurrentRow(to);
  write();
}

void PipelineSettingsTab::chooseColor() {
  QListWidgetItem* item = list_->currentItem();
  if (!item) return;
  const QColor color =
      QColorDialog::getColor(QColor(QLatin1Char('#') + item->data(kColorRole).toString()), this,
                             tr("Colour of %1").arg(item->text()));
  if (!color.isValid()) return;
  const QString hex = color.name(QColor::HexRgb).mid(1).toUpper();
  filling_ = true;
  item->setData(kColorRole, hex);
  item->setIcon(swatch(hex, list_->fontMetrics().height() - 2));
  filling_ = false;
  write();
}

void PipelineSettingsTab::write() {
  QJsonArray stages;
  for (int i = 0; i < list_->count(); ++i) {
    const QListWidgetItem* item = list_->item(i);
    QJsonObject stage{{"name", item->text()}, {"colorHex", item->data(kColorRole).toString()}};
    if (const QString id = item->data(kIdRole).toString(); !id.isEmpty()) stage["id"] = id;
    stages.append(stage);
  }
  showText(error_, {});
  updateButtons();
  QPointer<PipelineSettingsTab> self(this);
  context_.link.request({{"command", "pipeline.set"}, {"stages", stages}},
                        [self](const QJsonObject& answer, const QString& error) {
                          if (!self) return;
                          if (!error.isEmpty()) {
                            showText(self->error_, error);
                            self->reload();
                            return;
                          }
                          // The new stages get their ids from the companion.
                          self->showStages(answer.value("stages").toArray());
                        });
}

void PipelineSettingsTab::updateButtons() {
  const int row = list_->currentRow();
  const bool chosen = row >= 0;
  rename_->setEnabled(chosen);
  color_->setEnabled(chosen);
  up_->setEnabled(row > 0);
  down_->setEnabled(chosen && row < list_->count() - 1);
  remove_->setEnabled(chosen && list_->count() > 1);
}

}  // namespace qm::desktop
