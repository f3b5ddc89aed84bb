#include "desktop/event_chart_views.h"

#include <QDateTime>
#include <QTimeZone>
#include <memory>
#include <unordered_map>
#include <utility>

#include "desktop/locale_text.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

namespace {

QDateTime localWallTime(std::int64_t localStart) {
  // `localStart` counts the local wall clock's seconds: read back in UTC, it
  // gives that wall time.
  return QDateTime::fromSecsSinceEpoch(localStart, QTimeZone::utc());
}

QString number(std::int64_t n, const QLocale& locale) {
  return locale.toString(static_cast<qlonglong>(n));
}

/// A bar that counts contacts: its figure, and the contacts choosing it opens.
ChartBarView contactCountBar(const ChartBar& bar, QString label, const QLocale& locale) {
  ChartBarView v;
  v.label = std::move(label);
  v.value = static_cast<double>(bar.count);
  v.valueText = number(bar.count, locale);
  v.contactIDs = bar.contactIDs;
  v.subsetText = v.label;
  return v;
}

}  // namespace

UtcOffset systemUtcOffset() {
  // An offset only changes at a transition: one look-up per hour of meetings.
  auto cache = std::make_shared<std::unordered_map<std::int64_t, std::int64_t>>();
  return [cache](std::int64_t unixSeconds) {
    const std::int64_t hour = unixSeconds / 3600;
    auto [it, added] = cache->try_emplace(hour, 0);
    if (added) it->second = QDateTime::fromSecsSinceEpoch(hour * 3600).offsetFromUtc();
    return it->second;
  };
}

QString EventChartViews::percent(std::int64_t part, std::int64_t whole, const QLocale& locale) {
  const double share =
      whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0;
  //: A percentage; French puts a narrow no-break space before the sign.
  return tr("%1%").arg(locale.toString(share, 'f', 0));
}

QString EventChartViews::amounts(const std::vector<PipelineTotal>& totals, const QLocale& locale) {
  std::vector<std::string> currencies;
  for (const PipelineTotal& t : totals) currencies.push_back(t.currency);
  const CurrencyMark mark = currencyMarkFor(currencies);
  QStringList parts;
  for (const PipelineTotal& t : totals) parts << moneyText(t.amount, t.currency, mark, locale);
  return parts.join(QStringLiteral(" + "));
}

std::vector<ChartView> EventChartViews::forEvent(const EventCharts& charts, const QLocale& locale) {
  std::vector<ChartView> views;

  ChartView meetings;
  const bool hours = charts.meetingBins == MeetingBins::hours;
  meetings.title = hours ? tr("Meetings per hour") : tr("Meetings per day");
  meetings.shape = ChartShape::columns;
  meetings.emptyText = tr("No meetings recorded yet.");
  for (const ChartBar& bar : charts.meetings) {
    const QDateTime start = localWallTime(bar.localStart);
    ChartBarView v;
    v.value = static_cast<double>(bar.count);
    v.valueText = number(bar.count, locale);
    v.contactIDs = bar.contactIDs;
    if (hours) {
      const QString from = locale.toString(start.time(), QLocale::ShortFormat);
      const QString to = locale.toString(start.time().addSecs(3600), QLocale::ShortFormat);
      v.label = from;
      v.toolTip =
          tr("%Ln meetings from %1 to %2", nullptr, static_cast<int>(bar.count)).arg(from, to);
      v.subsetText = tr("Met from %1 to %2").arg(from, to);
    } else {
      const QString day = mediumDate(start.date(), locale);
      v.label = locale.toString(start.date(), QStringLiteral("ddd d"));
      v.toolTip = tr("%Ln meetings on %1", nullptr, static_cast<int>(bar.count)).arg(day);
      v.subsetText = tr("Met on %1").arg(day);
    }
    meetings.bars.push_back(std::move(v));
  }
  views.push_back(std::move(meetings));

  ChartView funnel;
  funnel.title = tr("From capture to opportunity");
  funnel.emptyText = tr("No contacts yet.");
  const QStringList steps{tr("Captured"),         tr("Met"),
                          tr("Rated 4–5"),        tr("Follow-up drafted"),
                          tr("Approved or sent"), tr("With an opportunity")};
  const std::int64_t captured = charts.funnel.empty() ? 0 : charts.funnel.front().count;
  for (std::size_t i = 0; i < charts.funnel.size(); ++i) {
    const ChartBar& bar = charts.funnel[i];
    ChartBarView v;
    v.label = steps.value(static_cast<int>(i));
    v.value = static_cast<double>(bar.count);
    v.valueText =
        i == 0 ? number(bar.count, locale)
               : tr("%1 · %2").arg(number(bar.count, locale), percent(bar.count, captured, locale));
    v.toolTip = tr("%1: %Ln contacts", nullptr, static_cast<int>(bar.count)).arg(v.label);
    v.contactIDs = bar.contactIDs;
    v.subsetText = v.label;
    funnel.bars.push_back(std::move(v));
  }
  views.push_back(std::move(funnel));

  ChartView pipeline;
  pipeline.title = tr("Pipeline by stage");
  pipeline.emptyText = tr("No opportunities yet.");
  for (const ChartBar& bar : charts.pipeline) {
    ChartBarView v;
    v.label = qs(bar.key);
    v.value = static_cast<double>(bar.count);
    QString text = tr("%Ln opportunities", nullptr, static_cast<int>(bar.count));
    if (!bar.amounts.empty()) text += QStringLiteral(" · ") + amounts(bar.amounts, locale);
    v.valueText = text;
    v.toolTip = tr("%1: %2").arg(v.label, text);
    if (!bar.colorHex.empty()) v.color = QColor(QLatin1Char('#') + qs(bar.colorHex));
    v.contactIDs = bar.contactIDs;
    v.subsetText = tr("Contacts of the opportunities in %1").arg(v.label);
    pipeline.bars.push_back(std::move(v));
  }
  views.push_back(std::move(pipeline));

  ChartView tiers;
  tiers.title = tr("Tiers");
  tiers.emptyText = tr("No contacts yet.");
  for (const ChartBar& bar : charts.tiers) {
    ChartBarView v = contactCountBar(
        bar, bar.key.empty() ? tr("No tier") : tr("Tier %1").arg(qs(bar.key)), locale);
    v.toolTip = tr("%1: %Ln contacts", nullptr, static_cast<int>(bar.count)).arg(v.label);
    tiers.bars.push_back(std::move(v));
  }
  views.push_back(std::move(tiers));

  ChartView ratings;
  ratings.title = tr("Ratings");
  ratings.emptyText = tr("No ratings yet.");
  for (const ChartBar& bar : charts.ratings) {
    ChartBarView v = contactCountBar(bar, tr("Rated %1").arg(qs(bar.key)), locale);
    v.toolTip = tr("%1: %Ln contacts", nullptr, static_cast<int>(bar.count)).arg(v.label);
    ratings.bars.push_back(std::move(v));
  }
  views.push_back(std::move(ratings));

  if (!charts.team.empty()) {
    ChartView team;
    team.title = tr("Met by the team");
    for (const ChartBar& bar : charts.team) {
      ChartBarView v = contactCountBar(bar, qs(bar.key), locale);
      v.toolTip = tr("%1 met %Ln contacts", nullptr, static_cast<int>(bar.count)).arg(v.label);
      v.subsetText = tr("Met by %1").arg(v.label);
      team.bars.push_back(std::move(v));
    }
    views.push_back(std::move(team));
  }
  return views;
}

ChartView EventChartViews::forPortfolio(const std::vector<PortfolioRow>& rows,
                                        const QLocale& locale) {
  ChartView chart;
  chart.title = tr("Events side by side");
  chart.emptyText = tr("No events yet.");
  for (const PortfolioRow& row : rows) {
    ChartBarView v;
    v.label = qs(row.event.name);
    v.value = static_cast<double>(row.contacts);
    v.part = static_cast<double>(row.met);
    QString text = tr("%Ln contacts", nullptr, static_cast<int>(row.contacts)) +
                   QStringLiteral(" · ") + tr("%1 met").arg(percent(row.met, row.contacts, locale));
    if (row.opportunities > 0) text += QStringLiteral(" · ") + amounts(row.pipeline, locale);
    v.valueText = text;
    v.toolTip = row.event.startDate
                    ? tr("%1 (%2): %3").arg(v.label, mediumDate(row.event.startDate, locale), text)
                    : tr("%1: %2").arg(v.label, text);
    v.eventID = row.event.id;
    v.subsetText = v.label;
    chart.bars.push_back(std::move(v));
  }
  return chart;
}

}  // namespace qm::desktop
