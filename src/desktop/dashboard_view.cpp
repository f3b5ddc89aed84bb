#include "desktop/dashboard_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

#include "common/log.h"
#include "desktop/chart_grid.h"
#include "desktop/chart_widget.h"
#include "desktop/event_chart_views.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"
#include "store/event.h"
#include "store/store.h"
#include "ui/dashboard.h"
#include "ui/event_charts.h"
#include "ui/event_records.h"

namespace qm::desktop {

namespace {
constexpr std::size_t kListedContacts = 5;

/// A line that wraps and acts like a link (mouse or Tab + Enter).
template <class F>
QLabel* linkLine(const QString& text, QObject* context, F onChosen) {
  auto* label = new QLabel(QStringLiteral("<a href=\"go\" style=\"text-decoration:none\">%1</a>")
                               .arg(text.toHtmlEscaped()));
  label->setWordWrap(true);
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  label->setAccessibleName(text);
  label->setContentsMargins(0, 2, 0, 2);
  QObject::connect(label, &QLabel::linkActivated, context,
                   [onChosen](const QString&) { onChosen(); });
  return label;
}

QString contactLine(const ListContact& c) {
  QString line = qs(c.fullName());
  if (!c.company.empty()) line += QStringLiteral(" — ") + qs(c.company);
  return line;
}
}  // namespace

DashboardView::DashboardView(DesktopContext& context, QWidget* parent)
    : QScrollArea(parent), context_(context) {
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  setAccessibleName(tr("Dashboard"));
}

void DashboardView::setEvent(const std::optional<Uuid>& eventID) {
  eventID_ = eventID;
  reload();
}

void DashboardView::setChartsShown(bool shown) {
  chartsShown_ = shown;
  reload();
}

void DashboardView::reload() {
  if (eventID_) {
    showEventDashboard(*eventID_);
  } else {
    showPortfolio();
  }
}

QVBoxLayout* DashboardView::startPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setAlignment(Qt::AlignTop);
  // The page before goes once control is back in the event loop: a page is
  // rebuilt from inside its own widgets' handlers (choosing a chart's bar
  // opens an event), which must not be deleted under them.
  if (QWidget* before = takeWidget()) before->deleteLater();
  setWidget(page);
  return layout;
}

void DashboardView::addChart(QBoxLayout* layout, const QString& heading, ChartView chart) {
  if (!heading.isEmpty()) addHeading(layout, heading);
  auto* widget = new ChartWidget(std::move(chart));
  connect(widget, &ChartWidget::barChosen, this, [this, widget](int index) {
    const ChartBarView& bar = widget->chart().bars.at(static_cast<std::size_t>(index));
    if (bar.eventID) {
      Q_EMIT eventContactsChosen(*bar.eventID);
    } else {
      Q_EMIT contactsChosen(bar.contactIDs, bar.subsetText);
    }
  });
  layout->addWidget(widget);
}

void DashboardView::addHeading(QBoxLayout* layout, const QString& text) {
  auto* heading = new QLabel(text);
  QFont font = heading->font();
  font.setBold(true);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
  heading->setFont(font);
  heading->setContentsMargins(0, 12, 0, 2);
  layout->addWidget(heading);
}

void DashboardView::showEventDashboard(const Uuid& eventID) {
  QVBoxLayout* layout = startPage();
  auto event = context_.store.find<Event>(eventID);
  auto records = loadEventRecords(context_.store, eventID);
  if (!event || !*event || !records) {
    layout->addWidget(new QLabel(tr("This event is no longer on this computer.")));
    return;
  }
  auto* title = new QLabel(qs((*event)->name));
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  title->setFont(big);
  title->setWordWrap(true);
  layout->addWidget(title);
  // Each count with its own noun, so that each takes the singular or the plural.
  const QStringList counts{
      tr("%Ln contacts", nullptr, static_cast<int>(records->contacts.size())),
      tr("%Ln met", nullptr, static_cast<int>(metCount(records->contacts))),
      tr("%Ln targets", nullptr, static_cast<int>(targetCount(records->contacts)))};
  layout->addWidget(new QLabel(counts.join(QStringLiteral(" · "))));

  addHeading(layout, tr("NEXT ACTIONS"));
  for (const DashboardItem& item :
       nextActions(nextActionCounts(records->contacts, records->approvedDrafts))) {
    if (item.kind == "allCaughtUp") {
      layout->addWidget(new QLabel(QStringLiteral("✓ ") + coreText(item.text)));
      continue;
    }
    const std::string kind = item.kind;
    const QString text = coreText(item.text);
    layout->addWidget(
        linkLine(text, this, [this, kind, text] { Q_EMIT actionChosen(kind, text); }));
  }

  std::optional<std::vector<ChartView>> charts;
  if (chartsShown_) {
    auto extras = loadChartExtras(context_.store);
    if (!extras) {
      log::data().error("Cannot read the drafts for the charts: {}", extras.error().message);
    } else {
      UserDefaults defaults(context_.paths.defaultsFile());
      const std::vector<PipelineStage> stages = PipelineManager(defaults).stages();
      ChartRecords chartRecords{records->contacts,    records->opportunities, extras->drafts,
                                extras->stakeholders, (*event)->startDate,    (*event)->endDate};
      charts = EventChartViews::forEvent(eventCharts(chartRecords, stages, systemUtcOffset()));
    }
  }
  // The charts two to a row where the page is wide enough: meetings and
  // funnel, the pipeline (its total above its chart) and tiers, ratings and
  // the team. Without charts, the pipeline's total alone.
  ChartGrid* grid = nullptr;
  if (charts) {
    grid = new ChartGrid;
    layout->addWidget(grid);
    addChart(grid->addCell(), tr("MEETINGS"), std::move(charts->at(0)));
    addChart(grid->addCell(), tr("FUNNEL"), std::move(charts->at(1)));
  }
  QBoxLayout* pipelineCell = grid ? grid->addCell() : layout;
  addHeading(pipelineCell, tr("PIPELINE"));
  const std::vector<PipelineTotal> pipeline = pipelineTotals(records->opportunities);
  std::vector<std::string> currencies;
  for (const PipelineTotal& total : pipeline) currencies.push_back(total.currency);
  const CurrencyMark mark = currencyMarkFor(currencies);
  QStringList totals;
  for (const PipelineTotal& total : pipeline)
    totals << moneyText(total.amount, total.currency, mark);
  const auto opportunities = static_cast<int>(records->opportunities.size());
  auto* pipelineLine =
      new QLabel(opportunities == 0 ? tr("No opportunities yet.")
                                    : tr("%1 in %Ln opportunities", nullptr, opportunities)
                                          .arg(totals.join(QStringLiteral(" + "))));
  pipelineLine->setWordWrap(true);
  pipelineCell->addWidget(pipelineLine);
  if (charts) {
    if (!charts->at(2).bars.empty()) addChart(pipelineCell, {}, std::move(charts->at(2)));
    addChart(grid->addCell(), tr("TIERS"), std::move(charts->at(3)));
    addChart(grid->addCell(), tr("RATINGS"), std::move(charts->at(4)));
    if (charts->size() > 5) addChart(grid->addCell(), tr("TEAM"), std::move(charts->at(5)));
  }

  auto addContacts = [&](const QString& heading, const std::vector<const ListContact*>& contacts,
                         const QString& none, bool withMeeting) {
    addHeading(layout, heading);
    if (contacts.empty()) layout->addWidget(new QLabel(none));
    for (const ListContact* c : contacts) {
      QString text = contactLine(*c);
      if (withMeeting && c->metAt) text = tr("Met %1 · %2").arg(text, mediumDate(c->metAt));
      const Uuid id = c->id;
      layout->addWidget(linkLine(text, this, [this, id] { Q_EMIT contactChosen(id); }));
    }
  };
  addContacts(tr("PRIORITY CONTACTS"), priorityContacts(records->contacts, kListedContacts),
              tr("No targets or tier-A contacts waiting for a meeting."), false);
  addContacts(tr("RECENT ACTIVITY"), recentlyMetContacts(records->contacts, kListedContacts),
              tr("No meetings recorded yet."), true);
}

void DashboardView::showPortfolio() {
  QVBoxLayout* layout = startPage();
  auto portfolio = loadPortfolioSummary(context_.store);
  if (!portfolio) {
    log::data().error("Cannot read the events: {}", portfolio.error().message);
    layout->addWidget(new QLabel(qs(portfolio.error().message)));
    return;
  }
  auto* title = new QLabel(tr("All Events"));
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  title->setFont(big);
  layout->addWidget(title);

  addHeading(layout, tr("ATTENTION ITEMS"));
  for (const DashboardItem& item : attentionItems(portfolio->counts)) {
    const QString mark = item.kind == "allCaughtUp" ? QStringLiteral("✓ ") : QStringLiteral("• ");
    auto* label = new QLabel(mark + coreText(item.text));
    label->setWordWrap(true);
    layout->addWidget(label);
  }

  if (chartsShown_ && !portfolio->events.empty())
    addChart(layout, tr("EVENTS SIDE BY SIDE"), EventChartViews::forPortfolio(portfolio->events));

  addHeading(layout, tr("EVENTS"));
  if (portfolio->events.empty()) {
    layout->addWidget(
        new QLabel(tr("No events yet. Pair with your iPhone and import its events.")));
    return;
  }
  auto* grid = new QGridLayout;
  const QStringList headers{tr("Event"), tr("Date"), tr("Contacts"), tr("Met"),
                            tr("Opportunities")};
  for (int column = 0; column < headers.size(); ++column) {
    auto* header = new QLabel(headers[column]);
    header->setEnabled(false);
    grid->addWidget(header, 0, column);
  }
  int row = 1;
  const QLocale locale;
  for (const PortfolioRow& entry : portfolio->events) {
    const Uuid id = entry.event.id;
    grid->addWidget(linkLine(qs(entry.event.name), this, [this, id] { Q_EMIT eventChosen(id); }),
                    row, 0);
    grid->addWidget(new QLabel(mediumDate(entry.event.startDate)), row, 1);
    int column = 2;
    for (const std::int64_t figure : {entry.contacts, entry.met, entry.opportunities}) {
      auto* label = new QLabel(locale.toString(static_cast<qlonglong>(figure)));
      label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grid->addWidget(label, row, column++);
    }
    ++row;
  }
  grid->setColumnStretch(0, 1);
  layout->addLayout(grid);
}

}  // namespace qm::desktop
