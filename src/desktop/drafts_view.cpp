#include "desktop/drafts_view.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "common/enum_info.h"
#include "common/log.h"
#include "desktop/companion_link.h"
#include "desktop/draft_editor.h"
#include "desktop/flow_layout.h"
#include "desktop/item_roles.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/private_file.h"
#include "desktop/qt_text.h"
#include "desktop/send_approved_panel.h"
#include "export/eml_export.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/contact.h"
#include "store/follow_up_draft.h"
#include "store/record_enums.h"
#include "store/store.h"
#include "ui/event_records.h"

namespace qm::desktop {

namespace {

/// At most this many contacts go to one batch. (Not "constexpr std::size_t": lupdate
/// would then file the texts below under another context than DraftsView's.)
constexpr auto kBatchLimit = std::size_t{10};

QString askForFolder(QWidget* parent, const QString& proposed) {
  QFileDialog dialog(parent);
  dialog.setWindowTitle(DraftsView::tr("Choose Export Folder"));
  dialog.setDirectory(proposed);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setLabelText(QFileDialog::Accept, DraftsView::tr("Export Here"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

/// The bulk action's label for `qualifying` contacts.
QString batchActionLabel(std::size_t qualifying) {
  const auto n = static_cast<int>(qualifying);
  if (qualifying > kBatchLimit)
    return DraftsView::tr("Generate for %1 of %Ln contacts", nullptr, n)
        .arg(QLocale().toString(static_cast<int>(kBatchLimit)));
  return DraftsView::tr("Generate for %Ln contacts", nullptr, n);
}

}  // namespace

DraftsView::DraftsView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context), chooseFolder_(askForFolder) {
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  auto* label = new QLabel(tr("Status:"), this);
  status_ = new QComboBox(this);
  status_->setAccessibleName(tr("Show drafts with status"));
  label->setBuddy(status_);
  status_->addItem(tr("All"), QString());
  status_->addItem(tr("Draft"), QStringLiteral("draft"));
  status_->addItem(tr("Approved"), QStringLiteral("approved"));
  status_->addItem(tr("Sent"), QStringLiteral("sent"));
  status_->addItem(tr("Dismissed"), QStringLiteral("dismissed"));
  connect(status_, &QComboBox::currentIndexChanged, this, [this] { reload(); });
  bar->addWidget(label);
  bar->addWidget(status_);
  bar->addStretch();
  // The actions wrap onto a second row when the list is narrow.
  auto* actions = new FlowLayout;
  export_ = new QPushButton(this);
  export_->setObjectName(QStringLiteral("export-eml"));
  export_->setToolTip(
      tr("Save the chosen drafts, or all that are not dismissed, as .eml files "
         "into a folder"));
  actions->addWidget(export_);
  // The tone of the new drafts stays beside the button that writes them.
  auto* batchBox = new QWidget(this);
  auto* batchRow = new QHBoxLayout(batchBox);
  batchRow->setContentsMargins(0, 0, 0, 0);
  batchTone_ = new QComboBox(batchBox);
  batchTone_->setAccessibleName(tr("Tone of the new drafts"));
  batchTone_->addItem(tr("Warm"), QStringLiteral("warm"));
  batchTone_->addItem(tr("Neutral"), QStringLiteral("neutral"));
  batchTone_->addItem(tr("Formal"), QStringLiteral("formal"));
  batchTone_->setCurrentIndex(1);
  batchRow->addWidget(batchTone_);
  generate_ = new QPushButton(batchBox);
  generate_->setObjectName(QStringLiteral("generate-batch"));
  generate_->setToolTip(tr("Write drafts for the met contacts that have none, ten at a time"));
  batchRow->addWidget(generate_);
  actions->addWidget(batchBox);
  sendPanel_ = new SendApprovedPanel(context_, this);
  actions->addWidget(sendPanel_->sendButton());
  bar->addLayout(actions);
  layout->addLayout(bar);

  batchPanel_ = new QWidget(this);
  batchPanel_->setObjectName(QStringLiteral("batch-panel"));
  auto* panel = new QVBoxLayout(batchPanel_);
  panel->setContentsMargins(0, 0, 0, 0);
  resumeText_ = new QLabel(batchPanel_);
  resumeText_->setObjectName(QStringLiteral("batch-resumed"));
  resumeText_->setAccessibleName(tr("Resumed batch"));
  resumeText_->setWordWrap(true);
  resumeText_->hide();
  panel->addWidget(resumeText_);
  templatesText_ = new QLabel(
      tr("Writing from templates: no AI endpoint is set up and the phone is not connected."),
      batchPanel_);
  templatesText_->setObjectName(QStringLiteral("batch-from-templates"));
  templatesText_->setAccessibleName(tr("Written from templates"));
  templatesText_->setWordWrap(true);
  templatesText_->hide();
  panel->addWidget(templatesText_);
  auto* progressRow = new QHBoxLayout;
  progress_ = new QProgressBar(batchPanel_);
  progress_->setAccessibleName(tr("Batch progress"));
  progress_->setTextVisible(false);
  progress_->setMaximumWidth(220);
  progressRow->addWidget(progress_);
  batchText_ = new QLabel(batchPanel_);
  batchText_->setObjectName(QStringLiteral("batch-state"));
  batchText_->setAccessibleName(tr("Batch state"));
  batchText_->setTextFormat(Qt::PlainText);
  progressRow->addWidget(batchText_, 1);
  cancel_ = new QPushButton(tr("Cancel"), batchPanel_);
  cancel_->setObjectName(QStringLiteral("cancel-batch"));
  cancel_->setAccessibleName(tr("Cancel the batch"));
  progressRow->addWidget(cancel_);
  panel->addLayout(progressRow);
  batchPanel_->hide();
  layout->addWidget(batchPanel_);
  layout->addWidget(sendPanel_);
  feedback_ = new QLabel(this);
  feedback_->setObjectName(QStringLiteral("drafts-feedback"));
  feedback_->setAccessibleName(tr("Drafts message"));
  feedback_->setWordWrap(true);
  feedback_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  feedback_->hide();
  layout->addWidget(feedback_);

  auto* split = new QSplitter(this);
  pages_ = new QStackedWidget(split);
  tree_ = new QTreeWidget(pages_);
  tree_->setAccessibleName(tr("Drafts"));
  tree_->setRootIsDecorated(false);
  tree_->setUniformRowHeights(true);
  tree_->setAlternatingRowColors(true);
  tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tree_->setHeaderLabels({tr("Contact"), tr("Subject"), tr("Status"), tr("Tone"), tr("Written")});
  tree_->header()->setStretchLastSection(false);
  for (int column : {0, 1}) tree_->header()->setSectionResizeMode(column, QHeaderView::Stretch);
  for (int column : {2, 3, 4})
    tree_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  tree_->viewport()->installEventFilter(this);
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!item) return;
    editor_->showDraft(uuidFromText(item->data(0, kRecordRole).toString()));
  });
  connect(tree_, &QTreeWidget::itemSelectionChanged, this, &DraftsView::updateActions);
  pages_->addWidget(tree_);
  auto* empty =
      new QLabel(tr("No drafts yet. Select met contacts and choose Generate Drafts."), pages_);
  empty->setAlignment(Qt::AlignCenter);
  empty->setWordWrap(true);
  pages_->addWidget(empty);
  editor_ = new DraftEditor(context_, split);
  split->addWidget(pages_);
  split->addWidget(editor_);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  split->setSizes({420, 580});
  layout->addWidget(split, 1);

  connect(export_, &QPushButton::clicked, this, &DraftsView::exportSelected);
  connect(generate_, &QPushButton::clicked, this, &DraftsView::generateBatch);
  connect(cancel_, &QPushButton::clicked, this, &DraftsView::cancelBatch);
  connect(&context_.link, &CompanionLink::draftsChanged, this, &DraftsView::showBatch);
  // A batch that runs when the window connects (one resumed at start-up).
  connect(&context_.link, &CompanionLink::feedConnectedChanged, this, [this](bool connected) {
    if (!connected) return;
    QPointer<DraftsView> self(this);
    context_.link.request({{"command", "status"}}, [self](const QJsonObject& s, const QString&) {
      if (!self) return;
      const QJsonObject batch = s.value("batchGeneration").toObject();
      if (!batch.isEmpty()) {
        QJsonObject state = batch;
        state.insert("generating", true);
        self->showBatch(state);
      }
    });
  });
  updateActions();
}

void DraftsView::setEvent(const std::optional<Uuid>& eventID) {
  if (eventID != eventID_) editor_->showDraft(std::nullopt);
  eventID_ = eventID;
  const QSignalBlocker quiet(status_);
  status_->setCurrentIndex(0);
  reload();
}

void DraftsView::showStatus(const QString& status) {
  status_->setCurrentIndex(std::max(0, status_->findData(status)));
  reload();
}

void DraftsView::reload() {
  // The list is rebuilt; the current and chosen drafts stay chosen.
  QString current;
  QSet<QString> chosen;
  if (QTreeWidgetItem* item = tree_->currentItem()) current = item->data(0, kRecordRole).toString();
  for (QTreeWidgetItem* item : tree_->selectedItems())
    chosen.insert(item->data(0, kRecordRole).toString());
  {
    const QSignalBlocker quiet(tree_);
    tree_->clear();
    qualifying_ = 0;
    int approved = 0;
    auto contacts = eventID_ ? listContactsOf(context_.store, *eventID_,
                                              {"id", "firstName", "lastName", "status"})
                             : Result<std::vector<ListContact>>(std::vector<ListContact>{});
    auto drafts = eventID_ ? context_.store.fetch<FollowUpDraft>()
                           : Result<std::vector<FollowUpDraft>>(std::vector<FollowUpDraft>{});
    if (!eventID_) {
      pages_->setCurrentIndex(1);
    } else if (!contacts || !drafts) {
      log::data().error("Cannot read the drafts: {}",
                        (!contacts ? contacts.error() : drafts.error()).message);
    } else {
      std::unordered_map<Uuid, const ListContact*> byID;
      for (const ListContact& c : *contacts) byID.emplace(c.id, &c);
      std::unordered_set<Uuid> drafted;
      const QString wanted = status_->currentData().toString();
      int shown = 0;
      for (const FollowUpDraft& d : *drafts) {
        if (!d.contactID) continue;
        drafted.insert(*d.contactID);
        const auto contact = byID.find(*d.contactID);
        if (contact == byID.end()) continue;
        approved += d.status == rawValue(DraftStatus::approved);
        if (!wanted.isEmpty() && qs(d.status) != wanted) continue;
        const auto tone = parseEnum<Tone>(d.tone);
        auto* item = new QTreeWidgetItem(
            tree_, {qs(contact->second->fullName()), qs(d.subject),
                    status_->itemText(status_->findData(qs(d.status))),
                    tone ? coreText(displayLabel(*tone)) : qs(d.tone), mediumDate(d.generatedAt)});
        const QString id = uuidText(d.id);
        item->setData(0, kRecordRole, id);
        item->setData(0, kContactRole, uuidText(*d.contactID));
        if (id == current) tree_->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        if (chosen.contains(id)) item->setSelected(true);
        ++shown;
      }
      // Met contacts without any draft, whatever its status.
      for (const ListContact& c : *contacts)
        qualifying_ += c.status == MeetingStatus::met && !drafted.contains(c.id);
      pages_->setCurrentIndex(shown == 0 ? 1 : 0);
    }
    sendPanel_->setApproved(eventID_, approved);
  }
  fitColumns();
  editor_->reload();
  updateActions();
}

void DraftsView::reveal(const Uuid& draftID) {
  {
    const QSignalBlocker quiet(status_);
    status_->setCurrentIndex(0);
  }
  reload();
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = tree_->topLevelItem(i);
    if (uuidFromText(item->data(0, kRecordRole).toString()) == draftID) {
      tree_->setCurrentItem(item);
      tree_->scrollToItem(item, QAbstractItemView::PositionAtCenter);
      return;
    }
  }
}

namespace {

/// The drafts "Export N as .eml" saves: those of the event that are not
/// dismissed, only the chosen ones when several are chosen.
Result<std::vector<DraftMessage>> draftsToExport(Store& store, const Uuid& eventID,
                                                 const QSet<QString>& chosen) {
  auto all = QM_TRY(eventDraftsForExport(store, eventID));
  if (chosen.size() < 2) return all;
  std::erase_if(all, [&](const DraftMessage& m) { return !chosen.contains(uuidText(m.draft.id)); });
  return all;
}

QSet<QString> chosenIDs(const QTreeWidget* tree) {
  QSet<QString> ids;
  for (QTreeWidgetItem* item : tree->selectedItems())
    ids.insert(item->data(0, kRecordRole).toString());
  return ids;
}

}  // namespace

bool DraftsView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tree_->viewport() && event->type() == QEvent::Resize) fitColumns();
  return QWidget::eventFilter(watched, event);
}

void DraftsView::fitColumns() {
  constexpr int kReadable = 120;  // for the contact and for the subject
  const int padding =
      2 * tree_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree_) + 8;
  const auto widthOf = [&](int column) {
    int widest = tree_->header()->sectionSizeHint(column);
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
      widest = std::max(
          widest,
          tree_->fontMetrics().horizontalAdvance(tree_->topLevelItem(i)->text(column)) + padding);
    return widest;
  };
  const int room = tree_->viewport()->width() - 2 * kReadable - widthOf(2);
  const int tone = widthOf(3), written = widthOf(4);
  tree_->setColumnHidden(3, tone + written > room);
  tree_->setColumnHidden(4, written > room);
}

void DraftsView::updateActions() {
  std::size_t exportable = 0;
  if (eventID_) {
    if (auto drafts = draftsToExport(context_.store, *eventID_, chosenIDs(tree_)))
      exportable = drafts->size();
  }
  export_->setText(tr("Export %Ln as .eml", nullptr, static_cast<int>(exportable)));
  export_->setAccessibleName(export_->text());
  export_->setEnabled(exportable > 0);
  generate_->setText(batchActionLabel(qualifying_));
  generate_->setAccessibleName(generate_->text());
  generate_->setEnabled(eventID_ && qualifying_ > 0 && !batchRunning_);
}

void DraftsView::say(const QString& text, bool error) {
  feedback_->setText(text);
  feedback_->setStyleSheet(error ? QStringLiteral("color: #c62828;") : QString());
  feedback_->setVisible(!text.isEmpty());
}

void DraftsView::exportSelected() {
  if (!eventID_) return;
  auto messages = draftsToExport(context_.store, *eventID_, chosenIDs(tree_));
  if (!messages) return say(qs(messages.error().message), true);
  if (messages->empty()) return;
  const QString folder = chooseFolder_(this, exportFolder(context_));
  if (folder.isEmpty()) return;
  UserDefaults defaults(context_.paths.defaultsFile());
  const EmlOptions options = emlOptionsFrom(AppSettings(defaults));
  const EmlBatchResult result =
      exportDrafts(*messages, options, QFile::encodeName(folder).toStdString());
  QStringList lines;
  const auto written = static_cast<int>(result.written.size());
  lines << tr("Exported %Ln drafts as .eml to %1", nullptr, written)
               .arg(QDir::toNativeSeparators(folder));
  for (const ExportFailure& failed : result.failed)
    lines << tr("Failed to save: ") + qs(failed.contactName) + QStringLiteral(": ") +
                 qs(failed.error.message);
  say(lines.join(QLatin1Char('\n')), !result.failed.empty());
  if (!result.written.empty())
    externalOpener()(folder, [](const QString&) {});  // shows the folder; no viewer is no error
}

void DraftsView::generateBatch() {
  if (!eventID_ || qualifying_ == 0) return;
  generate_->setEnabled(false);
  say({});
  QPointer<DraftsView> self(this);
  context_.link.request(
      {{"command", "drafts.batch"},
       {"eventID", uuidText(*eventID_)},
       {"tone", batchTone_->currentData().toString()}},
      [self](const QJsonObject& result, const QString& error) {
        if (!self) return;
        if (!error.isEmpty()) {
          self->say(error, true);
        } else {
          QJsonObject state = result;
          state.insert("generating", false);
          self->batchRunning_ = true;  // its end, whether or not the feed showed it running
          self->showBatch(state);
        }
        self->updateActions();
      },
      [self](const QJsonObject& progress) {
        if (!self || !progress.contains("batchID")) return;
        QJsonObject state = progress;
        state.insert("generating", true);
        self->showBatch(state);
      });
}

void DraftsView::cancelBatch() {
  if (!batchRunning_) return;
  cancelling_ = true;
  cancel_->setEnabled(false);
  batchText_->setText(tr("Cancelling after the draft being written…"));
  QPointer<DraftsView> self(this);
  context_.link.request({{"command", "drafts.cancel"}},
                        [self](const QJsonObject&, const QString& error) {
                          if (self && !error.isEmpty()) self->say(error, true);
                        });
}

void DraftsView::showBatch(const QJsonObject& state) {
  const QString batchID = state.value("batchID").toString();
  const int total = state.value("total").toInt();
  const int completed = state.value("completed").toInt();
  const int failed = state.value("failed").toInt();
  if (!state.value("generating").toBool()) {
    // The end of a batch seen running (an idle state alone is a single
    // draft's, or an older batch's).
    if (!std::exchange(batchRunning_, false)) return;
    templatesText_->setVisible(state.value("fromTemplates").toBool());
    batchText_->setText(tr("Batch finished: %1 written, %2 failed of %3")
                            .arg(QLocale().toString(completed), QLocale().toString(failed),
                                 QLocale().toString(total)));
    progress_->setRange(0, std::max(total, 1));
    progress_->setValue(completed + failed);
    cancel_->hide();
    updateActions();
    return;
  }
  batchRunning_ = true;
  if (batchID != shownBatch_) {
    shownBatch_ = batchID;
    cancelling_ = false;
    resumeText_->hide();
  }
  batchPanel_->show();
  // The companion's notice that no AI writes this batch, in the window's words.
  templatesText_->setVisible(state.value("fromTemplates").toBool());
  progress_->setRange(0, std::max(total, 1));
  progress_->setValue(completed + failed);
  const QString name = state.value("currentContactName").toString();
  batchText_->setText(cancelling_
                          ? tr("Cancelling after the draft being written…")
                          : tr("Writing the draft to %1 · %2 written, %3 failed of %4")
                                .arg(name.isEmpty() ? tr("the next contact") : name,
                                     QLocale().toString(completed), QLocale().toString(failed),
                                     QLocale().toString(total)));
  cancel_->show();
  cancel_->setEnabled(!cancelling_);
  // A batch this window did not start may be one resumed after a restart.
  if (!batchID.isEmpty() && batchID != askedBatch_) {
    askedBatch_ = batchID;
    QPointer<DraftsView> self(this);
    context_.link.request({{"command", "status"}}, [self, batchID](const QJsonObject& s,
                                                                   const QString&) {
      if (!self) return;
      const QJsonObject resumed = s.value("resumedBatch").toObject();
      if (resumed.value("batchID").toString() != batchID || self->shownBatch_ != batchID) return;
      self->resumeText_->setText(tr("Resuming batch: %1 remaining for '%2'")
                                     .arg(QLocale().toString(resumed.value("remaining").toInt()),
                                          resumed.value("eventName").toString()));
      self->resumeText_->show();
    });
  }
  updateActions();
}

}  // namespace qm::desktop
