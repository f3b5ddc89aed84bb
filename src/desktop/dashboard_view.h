#pragma once

#include <QScrollArea>
#include <optional>
#include <string>
#include <vector>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QBoxLayout;
class QVBoxLayout;

namespace qm::desktop {

struct ChartView;

/// The dashboard of one event (next actions, its charts, pipeline total,
/// priority contacts, recent activity) or, for "All Events", the portfolio
/// (attention items, the events side by side and the table of events).
/// Choosing a bar of a chart lists the contacts it counts.
class DashboardView : public QScrollArea {
  Q_OBJECT
 public:
  DashboardView(DesktopContext& context, QWidget* parent = nullptr);

  /// Nothing shows the portfolio.
  void setEvent(const std::optional<Uuid>& eventID);
  void reload();
  /// Whether the dashboards draw their charts (on by default); off only to
  /// measure what the charts cost.
  void setChartsShown(bool shown);

 signals:
  /// A next action was chosen: list the contacts it counts (`kind`), or the
  /// drafts for "reviewDrafts".
  void actionChosen(const std::string& kind, const QString& text);
  void contactChosen(const std::optional<qm::Uuid>& contactID);
  void eventChosen(const std::optional<qm::Uuid>& eventID);
  /// A bar of an event's chart was chosen: list these contacts, named `text`.
  void contactsChosen(const std::vector<qm::Uuid>& contactIDs, const QString& text);
  /// A bar of the portfolio's chart was chosen: list the event's contacts.
  void eventContactsChosen(const qm::Uuid& eventID);

 private:
  void showEventDashboard(const Uuid& eventID);
  void showPortfolio();
  QVBoxLayout* startPage();
  void addHeading(QBoxLayout* layout, const QString& text);
  /// The chart under its heading (if any); its chosen bars go to `contactsChosen` or
  /// `eventContactsChosen`.
  void addChart(QBoxLayout* layout, const QString& heading, ChartView chart);

  DesktopContext& context_;
  std::optional<Uuid> eventID_;
  bool chartsShown_ = true;
};

}  // namespace qm::desktop
