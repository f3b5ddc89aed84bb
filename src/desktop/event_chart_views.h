#pragma once

#include <QCoreApplication>
#include <QLocale>
#include <vector>

#include "desktop/chart_painter.h"
#include "ui/event_charts.h"
#include "ui/event_records.h"

namespace qm::desktop {

/// The charts of the dashboards as a person reads them, in the window's
/// language: titles, bar labels, figures, tool tips and what a chosen bar
/// lists. The window and the printed report draw the same views.
class EventChartViews {
  Q_DECLARE_TR_FUNCTIONS(qm::desktop::EventChartViews)

 public:
  /// Meetings, funnel, pipeline, tiers and ratings, and the team when it has
  /// bars, in that order.
  static std::vector<ChartView> forEvent(const EventCharts& charts,
                                         const QLocale& locale = QLocale());
  /// The portfolio's events side by side: contacts with the met share drawn
  /// solid, the pipeline in words; in the rows' order.
  static ChartView forPortfolio(const std::vector<PortfolioRow>& rows,
                                const QLocale& locale = QLocale());
  /// A share as the language writes a percentage: "40%", « 40 % ».
  static QString percent(std::int64_t part, std::int64_t whole, const QLocale& locale = QLocale());
  /// Amounts per currency joined with " + ".
  static QString amounts(const std::vector<PipelineTotal>& totals,
                         const QLocale& locale = QLocale());
};

/// The system time zone's offset, for `eventCharts`.
UtcOffset systemUtcOffset();

}  // namespace qm::desktop
