#include "desktop/reports_view.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/log.h"
#include "desktop/item_roles.h"
#include "desktop/locale_text.h"
#include "desktop/private_file.h"
#include "desktop/qt_text.h"
#include "store/saved_report.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

QString detailLevelText(const std::string& level) {
  if (level == "brief") return ReportsView::tr("Brief");
  if (level == "standard") return ReportsView::tr("Standard");
  if (level == "detailed") return ReportsView::tr("Detailed");
  return qs(level);
}

QString whenText(Date date) {
  return mediumDateTime(date);
}

}  // namespace

ReportsView::ReportsView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  auto* layout = new QVBoxLayout(this);
  pages_ = new QStackedWidget(this);
  auto* split = new QSplitter(pages_);
  tree_ = new QTreeWidget(split);
  tree_->setAccessibleName(tr("Reports"));
  tree_->setRootIsDecorated(false);
  tree_->setUniformRowHeights(true);
  tree_->setAlternatingRowColors(true);
  tree_->setHeaderLabels({tr("Report"), tr("Written"), tr("Provider"), tr("Detail")});
  tree_->header()->setStretchLastSection(false);
  tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column : {1, 2, 3})
    tree_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!item) return;
    shown_ = uuidFromText(item->data(0, kRecordRole).toString());
    say({});
    showReport();
  });

  auto* reader = new QWidget(split);
  auto* readerLayout = new QVBoxLayout(reader);
  readerLayout->setContentsMargins(0, 0, 0, 0);
  title_ = new QLabel(reader);
  title_->setTextFormat(Qt::PlainText);
  title_->setWordWrap(true);
  QFont bold = title_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.15);
  title_->setFont(bold);
  readerLayout->addWidget(title_);
  content_ = new QTextBrowser(reader);
  content_->setAccessibleName(tr("Report text"));
  content_->setOpenExternalLinks(true);
  readerLayout->addWidget(content_, 1);
  feedback_ = new QLabel(reader);
  feedback_->setObjectName(QStringLiteral("report-feedback"));
  feedback_->setAccessibleName(tr("Report message"));
  feedback_->setWordWrap(true);
  feedback_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  feedback_->hide();
  readerLayout->addWidget(feedback_);
  auto* buttons = new QHBoxLayout;
  openPdf_ = new QPushButton(tr("Open PDF"), reader);
  openPdf_->setObjectName(QStringLiteral("open-pdf"));
  openPdf_->setAccessibleName(tr("Open PDF"));
  copy_ = new QPushButton(tr("Copy to Clipboard"), reader);
  copy_->setObjectName(QStringLiteral("copy-report"));
  copy_->setAccessibleName(tr("Copy to Clipboard"));
  buttons->addWidget(openPdf_);
  buttons->addWidget(copy_);
  buttons->addStretch();
  readerLayout->addLayout(buttons);
  split->addWidget(tree_);
  split->addWidget(reader);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  split->setSizes({440, 560});
  pages_->addWidget(split);
  auto* empty = new QLabel(tr("No reports for this event yet. Reports written on the phone "
                              "appear here once it has synced."),
                           pages_);
  empty->setAlignment(Qt::AlignCenter);
  empty->setWordWrap(true);
  pages_->addWidget(empty);
  layout->addWidget(pages_);

  connect(openPdf_, &QPushButton::clicked, this, &ReportsView::openPdf);
  connect(copy_, &QPushButton::clicked, this, &ReportsView::copyReport);
}

void ReportsView::setEvent(const std::optional<Uuid>& eventID) {
  if (eventID != eventID_) shown_.reset();
  eventID_ = eventID;
  reload();
}

void ReportsView::reload() {
  const QSignalBlocker quiet(tree_);
  tree_->clear();
  std::vector<SavedReport> reports;
  if (eventID_) {
    // The list leaves the texts and PDFs in the store; the chosen one reads them.
    auto read = context_.store.fetchOnly<SavedReport>(
        {"id", "reportType", "generatedAt", "providerUsed", "detailLevel"},
        {Match{"eventID", *eventID_}});
    if (read)
      reports = std::move(*read);
    else
      log::data().error("Cannot read the reports: {}", read.error().message);
  }
  std::stable_sort(reports.begin(), reports.end(), [](const SavedReport& a, const SavedReport& b) {
    return a.generatedAt > b.generatedAt;
  });
  QTreeWidgetItem* current = nullptr;
  for (const SavedReport& r : reports) {
    auto* item =
        new QTreeWidgetItem(tree_, {qs(r.reportType), whenText(r.generatedAt),
                                    r.providerUsed ? qs(*r.providerUsed) : QStringLiteral("—"),
                                    detailLevelText(r.detailLevel)});
    item->setData(0, kRecordRole, uuidText(r.id));
    if (shown_ == r.id) current = item;
  }
  if (!current && tree_->topLevelItemCount() > 0) current = tree_->topLevelItem(0);
  if (current) {
    tree_->setCurrentItem(current);
    shown_ = uuidFromText(current->data(0, kRecordRole).toString());
  } else {
    shown_.reset();
  }
  pages_->setCurrentIndex(reports.empty() ? 1 : 0);
  showReport();
}

void ReportsView::reveal(const Uuid& reportID) {
  shown_ = reportID;
  reload();
}

void ReportsView::showReport() {
  std::optional<SavedReport> report;
  if (shown_) {
    if (auto found = context_.store.find<SavedReport>(*shown_); found && *found)
      report = std::move(**found);
  }
  if (!report) {
    title_->clear();
    content_->clear();
    openPdf_->setEnabled(false);
    copy_->setEnabled(false);
    return;
  }
  title_->setText(qs(report->reportType) + QStringLiteral(" · ") + whenText(report->generatedAt));
  content_->setMarkdown(qs(report->reportContent));
  const bool hasPdf = report->pdfData && !report->pdfData->empty();
  openPdf_->setEnabled(hasPdf);
  openPdf_->setToolTip(hasPdf ? tr("Open the report's PDF in the PDF viewer")
                              : tr("The phone sent no PDF of this report"));
  copy_->setEnabled(true);
}

void ReportsView::say(const QString& text, bool error) {
  feedback_->setText(text);
  feedback_->setStyleSheet(error ? QStringLiteral("color: #c62828;") : QString());
  feedback_->setVisible(!text.isEmpty());
}

void ReportsView::copyReport() {
  if (!shown_) return;
  auto found = context_.store.find<SavedReport>(*shown_);
  if (!found || !*found) return;
  QGuiApplication::clipboard()->setText(qs((*found)->reportContent));
  say(tr("Copied the report to the clipboard."));
}

void ReportsView::openPdf() {
  if (!shown_) return;
  auto found = context_.store.find<SavedReport>(*shown_);
  if (!found || !*found || !(*found)->pdfData || (*found)->pdfData->empty())
    return say(tr("This report has no PDF."), true);
  const SavedReport& report = **found;
  QString name = qs(report.reportType).simplified();
  name.replace(QLatin1Char('/'), QLatin1Char('-'));
  if (name.isEmpty()) name = tr("Report");
  name +=
      QLatin1Char(' ') + qs(formatISO8601(report.generatedAt)).left(10) + QStringLiteral(".pdf");
  const Bytes& pdf = *report.pdfData;
  QString error;
  const QString file = writePrivateCopy(
      name, std::string_view(reinterpret_cast<const char*>(pdf.data()), pdf.size()), &error);
  if (file.isEmpty()) return say(tr("Failed to save: ") + error, true);
  QPointer<ReportsView> self(this);
  externalOpener()(file, [self](const QString& failure) {
    if (!self) return;
    if (failure.isEmpty())
      self->say(tr("Opened the PDF."));
    else
      self->say(tr("Could not open the PDF: %1").arg(failure), true);
  });
}

}  // namespace qm::desktop
