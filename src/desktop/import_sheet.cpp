#include "desktop/import_sheet.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "desktop/companion_link.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"
#include "store/event.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

constexpr int kAlreadyHereRole = Qt::UserRole + 1;
/// The phone's number of contacts of the event; not set when it gave none.
constexpr int kContactCountRole = Qt::UserRole + 2;

QString localDate(const QJsonValue& value) {
  const QDateTime at = QDateTime::fromString(value.toString(), Qt::ISODate);
  return at.isValid() ? mediumDate(at.toLocalTime().date()) : QString();
}

/// "20/04/2026 – 24/04/2026 · Hannover, Germany · 6 contacts": what the phone
/// says of an event beside its name.
QString eventDetails(const QJsonObject& event) {
  QStringList parts;
  const QString start = localDate(event.value("startDate"));
  const QString end = localDate(event.value("endDate"));
  if (!start.isEmpty())
    parts << (end.isEmpty() || end == start ? start : start + QStringLiteral(" – ") + end);
  if (const QString location = event.value("location").toString(); !location.isEmpty())
    parts << location;
  if (event.contains("contactCount")) {
    parts << ImportSheet::tr("%Ln contacts", nullptr, event.value("contactCount").toInt());
  }
  return parts.join(QStringLiteral(" · "));
}

}  // namespace

ImportSheet::ImportSheet(DesktopContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
  setWindowTitle(tr("Import Events"));
  setModal(true);
  resize(560, 440);

  heading_ = new QLabel(this);
  QFont big = heading_->font();
  big.setPointSizeF(big.pointSizeF() * 1.3);
  big.setBold(true);
  heading_->setFont(big);
  heading_->setAccessibleName(tr("Import state"));
  detail_ = new QLabel(this);
  detail_->setWordWrap(true);
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  detail_->setAccessibleName(tr("Import details"));

  pages_ = new QStackedWidget(this);
  busyPage_ = new QWidget(pages_);
  auto* busyLayout = new QVBoxLayout(busyPage_);
  auto* busy = new QProgressBar(busyPage_);
  busy->setRange(0, 0);  // no end known: the bar just moves
  busy->setTextVisible(false);
  busy->setAccessibleName(tr("Waiting for the phone"));
  busyLayout->addWidget(busy);
  busyLayout->addStretch(1);
  pages_->addWidget(busyPage_);

  list_ = new QListWidget(pages_);
  list_->setAccessibleName(tr("Events on the phone"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSpacing(2);
  list_->setWordWrap(true);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  pages_->addWidget(list_);

  progressPage_ = new QWidget(pages_);
  auto* progressLayout = new QVBoxLayout(progressPage_);
  progress_ = new QProgressBar(progressPage_);
  progress_->setAccessibleName(tr("Import progress"));
  received_ = new QLabel(progressPage_);
  received_->setWordWrap(true);
  received_->setAccessibleName(tr("Last event received"));
  progressLayout->addWidget(progress_);
  progressLayout->addWidget(received_);
  progressLayout->addStretch(1);
  pages_->addWidget(progressPage_);

  blankPage_ = new QWidget(pages_);
  pages_->addWidget(blankPage_);

  cancel_ = new QPushButton(tr("Cancel"), this);
  cancel_->setAutoDefault(false);
  retry_ = new QPushButton(tr("Try Again"), this);
  import_ = new QPushButton(tr("Import Selected"), this);
  import_->setAccessibleName(tr("Import the selected events"));
  doneButton_ = new QPushButton(tr("Done"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  buttons->addWidget(retry_);
  buttons->addWidget(import_);
  buttons->addWidget(doneButton_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addWidget(detail_);
  layout->addWidget(pages_, 1);
  layout->addLayout(buttons);

  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(retry_, &QPushButton::clicked, this, &ImportSheet::start);
  connect(import_, &QPushButton::clicked, this, &ImportSheet::importSelected);
  connect(doneButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(list_, &QListWidget::itemChanged, this, &ImportSheet::updateImportButton);
}

void ImportSheet::start() {
  const int generation = ++generation_;
  list_->clear();
  setStage(Stage::asking, tr("Import Events"), tr("Requesting events from iPhone..."));
  open();
  QPointer<ImportSheet> self(this);
  context_.link.request({{"command", "events.remote"}},
                        [self, generation](const QJsonObject& result, const QString& error) {
                          if (!self || generation != self->generation_) return;
                          if (!error.isEmpty()) {
                            self->fail(error);
                            return;
                          }
                          self->showEvents(result.value("events").toArray());
                        });
}

void ImportSheet::done(int result) {
  // Done after an import goes to what it brought; the sheet's state is then
  // this showing's no more.
  const bool open = result == QDialog::Accepted && stage_ == Stage::complete && !imported_.empty();
  const std::optional<Uuid> first = open ? std::optional(imported_.front()) : std::nullopt;
  imported_.clear();
  // Whatever is still on its way belongs to this showing, not the next one.
  ++generation_;
  // The companion forgets this showing's import: one still running ends, and
  // the next showing may import at once.
  context_.link.request({{"command", "events.import.reset"}},
                        [](const QJsonObject&, const QString&) {});
  QDialog::done(result);
  if (first) Q_EMIT openEvent(*first);
}

void ImportSheet::showEvents(const QJsonArray& events) {
  list_->clear();
  int importable = 0;
  for (const QJsonValue& value : events) {
    const QJsonObject event = value.toObject();
    const QString id = event.value("id").toString();
    bool alreadyHere = event.value("alreadyOnThisComputer").toBool();
    if (const auto uuid = uuidFromText(id)) {
      auto stored = context_.store.find<Event>(*uuid);
      alreadyHere = alreadyHere || (stored.ok() && stored->has_value());
    }
    QString details = eventDetails(event);
    if (alreadyHere)
      details = tr("Already on this computer") +
                (details.isEmpty() ? QString() : QStringLiteral(" · ") + details);
    QString name = event.value("name").toString();
    if (name.isEmpty()) name = tr("Untitled event");
    auto* item = new QListWidgetItem(details.isEmpty() ? name : name + '\n' + details);
    item->setData(Qt::UserRole, id);
    item->setData(kAlreadyHereRole, alreadyHere);
    if (event.contains("contactCount"))
      item->setData(kContactCountRole, event.value("contactCount").toInteger());
    item->setCheckState(Qt::Unchecked);
    if (alreadyHere) {
      // Shown for the full picture, but there is nothing to bring over.
      item->setFlags(Qt::NoItemFlags);
      item->setToolTip(tr("This event is already on this computer."));
    } else {
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      ++importable;
    }
    list_->addItem(item);
  }

  if (events.isEmpty()) {
    setStage(Stage::nothingToImport, tr("No events available"),
             tr("The paired phone has no events yet."));
  } else if (importable == 0) {
    setStage(Stage::nothingToImport, tr("All events imported"),
             tr("Every event on the paired iPhone is already on this computer."));
  } else {
    setStage(Stage::choosing, tr("Import Events"),
             tr("Choose the events to bring from the phone to this computer."));
    for (int row = 0; row < list_->count(); ++row) {
      if (list_->item(row)->flags() & Qt::ItemIsEnabled) {
        list_->setCurrentRow(row);
        break;
      }
    }
    list_->setFocus();
  }
}

void ImportSheet::importSelected() {
  QJsonArray ids;
  qint64 contacts = 0;
  for (int row = 0; row < list_->count(); ++row) {
    const QListWidgetItem* item = list_->item(row);
    if (item->checkState() != Qt::Checked || item->data(kAlreadyHereRole).toBool()) continue;
    ids.append(item->data(Qt::UserRole).toString());
    const QVariant count = item->data(kContactCountRole);
    contacts = contacts < 0 || !count.isValid() ? -1 : contacts + count.toLongLong();
  }
  if (ids.isEmpty()) return;
  const int generation = ++generation_;
  expectedContacts_ = contacts;
  imported_.clear();
  progress_->setRange(0, static_cast<int>(ids.size()));
  progress_->setValue(0);
  showProgress(0, static_cast<int>(ids.size()), 0);
  received_->clear();
  setStage(Stage::importing, tr("Importing Events"),
           tr("Bringing %Ln events from the phone…", nullptr, static_cast<int>(ids.size())));
  QPointer<ImportSheet> self(this);
  context_.link.request(
      {{"command", "events.import"}, {"ids", ids}},
      [self, generation](const QJsonObject& result, const QString& error) {
        if (!self || generation != self->generation_) return;
        if (!error.isEmpty()) {
          self->fail(error);
          return;
        }
        self->importFinished(result);
      },
      [self, generation](const QJsonObject& progress) {
        if (!self || generation != self->generation_) return;
        self->importProgress(progress);
      });
}

void ImportSheet::importProgress(const QJsonObject& progress) {
  const int total = progress.value("totalImportCount").toInt();
  const int pending = progress.value("pendingImportCount").toInt();
  if (total > 0) {
    progress_->setRange(0, total);
    progress_->setValue(std::max(0, total - pending));
    showProgress(progress_->value(), total, progress.value("importedContactCount").toInteger());
  }
  const QJsonArray names = progress.value("importedEventNames").toArray();
  if (!names.isEmpty()) received_->setText(tr("Received %1").arg(names.last().toString()));
}

void ImportSheet::importFinished(const QJsonObject& result) {
  progress_->setValue(progress_->maximum());
  showProgress(progress_->maximum(), progress_->maximum(),
               result.value("importedContactCount").toInteger());
  received_->clear();
  imported_.clear();
  for (const QJsonValue& id : result.value("importedEventIDs").toArray())
    if (const auto uuid = uuidFromText(id.toString())) imported_.push_back(*uuid);
  QStringList list;
  for (const QJsonValue& name : result.value("importedEventNames").toArray())
    list << name.toString();
  const QString count = tr("Imported %Ln events", nullptr, static_cast<int>(list.size()));
  QString detail =
      list.isEmpty() ? count : count + QStringLiteral(": ") + list.join(QStringLiteral(", "));
  // Each event that did not arrive, with the reason, on a line of its own.
  const QJsonArray failed = result.value("failedEvents").toArray();
  for (const QJsonValue& value : failed) {
    const QJsonObject failure = value.toObject();
    detail += '\n' + tr("Not imported: %1 (%2)")
                         .arg(failure.value("name").toString(), failure.value("reason").toString());
  }
  setStage(Stage::complete, failed.isEmpty() ? tr("Import Complete") : tr("Import Incomplete"),
           detail);
}

void ImportSheet::showProgress(int received, int total, qint64 contacts) {
  // The event on its way, or the last one once all are in.
  const int current = std::min(received + 1, total);
  const QLocale locale;
  QString text = tr("Event %1 of %2").arg(locale.toString(current), locale.toString(total));
  // The phone's list may be older than its snapshots: never fewer expected
  // than received.
  const qint64 expected = expectedContacts_ < 0 ? -1 : std::max(expectedContacts_, contacts);
  const QString count =
      expected < 0 ? tr("%Ln contacts", nullptr, static_cast<int>(contacts))
                   : tr("%1 of %Ln contacts", nullptr, static_cast<int>(expected))
                         .arg(locale.toString(contacts));
  text += QStringLiteral(" · ") + count;
  progress_->setFormat(text);
  progress_->setAccessibleDescription(text);
}

void ImportSheet::fail(const QString& error) {
  const bool importing = stage_ == Stage::importing;
  setStage(Stage::failed, importing ? tr("Import stopped") : tr("Cannot get the phone's events"),
           error);
}

void ImportSheet::setStage(Stage stage, const QString& heading, const QString& detail) {
  stage_ = stage;
  heading_->setText(heading);
  detail_->setText(detail);
  detail_->setStyleSheet(stage == Stage::failed ? QStringLiteral("color: #c62828;") : QString());
  switch (stage) {
    case Stage::asking:
      pages_->setCurrentWidget(busyPage_);
      break;
    case Stage::choosing:
      pages_->setCurrentWidget(list_);
      break;
    case Stage::importing:
    case Stage::complete:
      pages_->setCurrentWidget(progressPage_);
      break;
    case Stage::nothingToImport:
    case Stage::failed:
      pages_->setCurrentWidget(blankPage_);
      break;
  }
  const bool finished = stage == Stage::complete || stage == Stage::nothingToImport;
  cancel_->setVisible(!finished);
  retry_->setVisible(stage == Stage::failed);
  import_->setVisible(stage == Stage::choosing);
  doneButton_->setVisible(finished);
  QPushButton* main = finished                   ? doneButton_
                      : stage == Stage::choosing ? import_
                      : stage == Stage::failed   ? retry_
                                                 : cancel_;
  for (QPushButton* button : {cancel_, retry_, import_, doneButton_})
    button->setDefault(button == main);
  if (main != import_ && main->isVisible()) main->setFocus();
  updateImportButton();
}

void ImportSheet::updateImportButton() {
  bool any = false;
  for (int row = 0; row < list_->count() && !any; ++row)
    any = list_->item(row)->checkState() == Qt::Checked;
  import_->setEnabled(stage_ == Stage::choosing && any);
}

}  // namespace qm::desktop
