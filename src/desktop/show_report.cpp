#include "desktop/show_report.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <algorithm>
#include <map>
#include <unordered_map>

#include "common/atomic_file.h"
#include "common/date.h"
#include "common/text.h"
#include "desktop/chart_painter.h"
#include "desktop/event_chart_views.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"
#include "store/event.h"
#include "store/store.h"
#include "ui/dashboard.h"
#include "ui/event_charts.h"
#include "ui/event_records.h"

namespace qm::desktop {

namespace {

constexpr int kResolution = 144;  // dots per inch of the page's coordinates
constexpr std::size_t kPriorityRows = 15;
constexpr std::size_t kWaitingRows = 40;

/// Printed on white paper whatever the window's appearance.
ChartColors paperColors() {
  ChartColors c;
  c.background = Qt::white;
  c.text = QColor(0x1d, 0x1d, 0x1f);
  c.muted = QColor(0x5f, 0x5f, 0x66);
  c.bar = QColor(0x1f, 0x5f, 0xbf);
  c.track = QColor(0xb4, 0xc8, 0xe8);
  c.focus = c.bar;
  return c;
}

/// Lays text, tables and charts down the pages, starting a page when the
/// next piece does not fit.
class PageFlow {
 public:
  PageFlow(QPdfWriter& writer, QPainter& painter)
      : writer_(writer), painter_(painter), colors_(paperColors()) {
    const QRect page = painter.viewport();
    area_ = QRectF(0, 0, page.width(), page.height());
    body_ = QGuiApplication::font();
    body_.setPointSizeF(10);
  }

  qreal width() const { return area_.width(); }
  const QFont& body() const { return body_; }
  const ChartColors& colors() const { return colors_; }
  QPainter& painter() { return painter_; }

  QFont sized(qreal points, bool bold = false) const {
    QFont f = body_;
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
  }
  qreal lineHeight(const QFont& font) const { return QFontMetricsF(font, &writer_).height(); }

  /// Starts a new page unless `height` still fits on this one.
  void keepRoomFor(qreal height) {
    if (y_ > 0 && y_ + height > area_.height()) {
      writer_.newPage();
      y_ = 0;
    }
  }
  /// Makes room for `height`, on a new page if this one has too little.
  qreal take(qreal height) {
    keepRoomFor(height);
    const qreal top = y_;
    y_ += height;
    return top;
  }
  void space(qreal lines) { y_ += lineHeight(body_) * lines; }

  void text(const QString& text, const QFont& font, const QColor& color, qreal indent = 0) {
    const QFontMetricsF fm(font, &writer_);
    const QRectF bounds =
        fm.boundingRect(QRectF(0, 0, width() - indent, 1e6), Qt::TextWordWrap, text);
    const qreal top = take(bounds.height());
    painter_.setFont(font);
    painter_.setPen(color);
    painter_.drawText(QRectF(indent, top, width() - indent, bounds.height()),
                      Qt::AlignLeft | Qt::TextWordWrap, text);
  }

  /// A heading, on the page of the `following` height after it (or at
  /// least of three lines): never alone at the foot of a page.
  void heading(const QString& text, qreal following = 0) {
    space(0.8);
    const QFont font = sized(12.5, true);
    keepRoomFor(lineHeight(font) + std::max(following, lineHeight(body_) * 3) + lineHeight(body_));
    this->text(text, font, colors_.text);
    const qreal top = take(lineHeight(body_) * 0.3);
    painter_.setPen(QPen(colors_.muted, 1));
    painter_.drawLine(QPointF(0, top), QPointF(width(), top));
  }

  /// The chart under its title, both on one page.
  void chart(const ChartView& chart) {
    const qreal height = chartHeight(chart, body_, width(), &writer_);
    heading(chart.title, height);
    const qreal top = take(height);
    paintChart(painter_, QRectF(0, top, width(), height), chart, colors_, body_);
  }

  /// A table: the header row in bold, then the rows; columns take `shares`
  /// of the width, cells are elided to fit. Right-aligned columns in `right`.
  void table(const QStringList& header, const std::vector<QStringList>& rows,
             const std::vector<qreal>& shares, const std::vector<bool>& right) {
    const QFont bold = sized(body_.pointSizeF(), true);
    const qreal rowH = lineHeight(body_) * 1.45;
    auto drawRow = [&](const QStringList& cells, const QFont& font, const QColor& color) {
      const qreal top = take(rowH);
      painter_.setFont(font);
      painter_.setPen(color);
      const QFontMetricsF fm(font, &writer_);
      qreal x = 0;
      for (int i = 0; i < cells.size(); ++i) {
        const qreal w = width() * shares[static_cast<std::size_t>(i)];
        const Qt::Alignment align =
            (right[static_cast<std::size_t>(i)] ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignVCenter;
        const qreal pad = lineHeight(body_) * 0.3;
        painter_.drawText(QRectF(x + pad, top, w - 2 * pad, rowH), align,
                          fm.elidedText(cells[i], Qt::ElideRight, w - 2 * pad));
        x += w;
      }
      return top;
    };
    keepRoomFor(rowH * 3);  // the header row never without a row under it
    const qreal top = drawRow(header, bold, colors_.muted);
    painter_.setPen(QPen(colors_.muted, 1));
    painter_.drawLine(QPointF(0, top + rowH), QPointF(width(), top + rowH));
    for (const QStringList& row : rows) drawRow(row, body_, colors_.text);
  }

  /// Figures in boxes, `perRow` to a row: the figure large, its caption below.
  void figures(const std::vector<std::pair<QString, QString>>& figures, int perRow) {
    const QFont big = sized(17, true);
    const QFont small = sized(9);
    const qreal gap = lineHeight(body_) * 0.6;
    const qreal boxW = (width() - gap * (perRow - 1)) / perRow;
    const qreal boxH = lineHeight(big) + lineHeight(small) * 2.2;
    for (std::size_t i = 0; i < figures.size(); i += static_cast<std::size_t>(perRow)) {
      const qreal top = take(boxH + gap);
      for (std::size_t j = i; j < std::min(figures.size(), i + static_cast<std::size_t>(perRow));
           ++j) {
        const qreal x = static_cast<qreal>(j - i) * (boxW + gap);
        const QRectF box(x, top, boxW, boxH);
        painter_.setPen(QPen(colors_.track, 1.5));
        painter_.setBrush(Qt::NoBrush);
        painter_.drawRoundedRect(box, 6, 6);
        const qreal pad = lineHeight(small) * 0.5;
        painter_.setFont(big);
        painter_.setPen(colors_.text);
        const QFontMetricsF bigMetrics(big, &writer_);
        painter_.drawText(QRectF(x + pad, top + pad * 0.6, boxW - 2 * pad, lineHeight(big)),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          bigMetrics.elidedText(figures[j].first, Qt::ElideRight, boxW - 2 * pad));
        painter_.setFont(small);
        painter_.setPen(colors_.muted);
        painter_.drawText(QRectF(x + pad, top + pad * 0.6 + lineHeight(big), boxW - 2 * pad,
                                 lineHeight(small) * 1.4),
                          Qt::AlignLeft | Qt::AlignTop, figures[j].second);
      }
    }
  }

 private:
  QPdfWriter& writer_;
  QPainter& painter_;
  ChartColors colors_;
  QRectF area_;
  QFont body_;
  qreal y_ = 0;
};

QString contactName(const ListContact& c) {
  return qs(c.fullName());
}

}  // namespace

QPageSize::PageSizeId reportPageSize(const QLocale& locale) {
  if (locale.measurementSystem() == QLocale::ImperialUSSystem) return QPageSize::Letter;
  // Countries that measure in metres yet print on Letter (the common locale
  // data's list); the United Kingdom's imperial measures go with A4.
  static constexpr QLocale::Territory kLetter[]{
      QLocale::Belize,       QLocale::Canada,     QLocale::Chile,       QLocale::Colombia,
      QLocale::CostaRica,    QLocale::ElSalvador, QLocale::Guatemala,   QLocale::Mexico,
      QLocale::Nicaragua,    QLocale::Panama,     QLocale::Philippines, QLocale::PuertoRico,
      QLocale::UnitedStates, QLocale::Venezuela};
  for (const QLocale::Territory territory : kLetter)
    if (locale.territory() == territory) return QPageSize::Letter;
  return QPageSize::A4;
}

QString ShowReport::fileName(const QString& eventName) {
  QString name = tr("%1 Report").arg(eventName.simplified());
  for (const QChar bad : {u'/', u'\\', u':', u'*', u'?', u'"', u'<', u'>', u'|'})
    name.replace(bad, u'-');
  return name + QStringLiteral(".pdf");
}

Result<QByteArray> ShowReport::render(Store& store, const Uuid& eventID,
                                      const std::vector<PipelineStage>& stages,
                                      const QLocale& locale) {
  auto event = QM_TRY(store.find<Event>(eventID));
  if (!event) return Error{ErrorCode::notFound, "No event has the id " + eventID.str() + "."};
  const EventRecords records = QM_TRY(loadEventRecords(store, eventID));
  const ChartExtras extras = QM_TRY(loadChartExtras(store));
  const ChartRecords chartRecords{records.contacts,    records.opportunities, extras.drafts,
                                  extras.stakeholders, event->startDate,      event->endDate};
  const EventCharts charts = eventCharts(chartRecords, stages, systemUtcOffset());
  std::vector<ChartView> views = EventChartViews::forEvent(charts, locale);

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kResolution);
  writer.setTitle(tr("%1 — Post-show report").arg(qs(event->name)));
  writer.setCreator(QStringLiteral("Quillmere"));
  writer.setPageLayout(QPageLayout(QPageSize(reportPageSize(locale)), QPageLayout::Portrait,
                                   QMarginsF(16, 16, 16, 18), QPageLayout::Millimeter));
  QPainter painter;
  if (!painter.begin(&writer))
    return Error{ErrorCode::internal, "Cannot start drawing the report."};
  PageFlow flow(writer, painter);

  // The event, its dates and place.
  flow.text(qs(event->name), flow.sized(22, true), flow.colors().text);
  QStringList about;
  if (event->startDate) {
    QString dates = mediumDate(event->startDate, locale);
    if (event->endDate && mediumDate(event->endDate, locale) != dates)
      dates = tr("%1 – %2").arg(dates, mediumDate(event->endDate, locale));
    about << dates;
  }
  if (event->location && !event->location->empty()) about << qs(*event->location);
  about << tr("Report of %1").arg(mediumDate(now(), locale));
  flow.text(about.join(QStringLiteral(" · ")), flow.sized(11), flow.colors().muted);
  flow.space(0.6);

  // The headline figures.
  const auto total = static_cast<std::int64_t>(records.contacts.size());
  const std::int64_t met = metCount(records.contacts);
  const std::int64_t rated = charts.funnel.size() > 2 ? charts.funnel[2].count : 0;
  const std::int64_t followed = charts.funnel.size() > 4 ? charts.funnel[4].count : 0;
  const auto number = [&](std::int64_t n) { return locale.toString(static_cast<qlonglong>(n)); };
  std::vector<std::pair<QString, QString>> figures{
      {number(total), tr("contacts captured")},
      {number(met), tr("met (%1)").arg(EventChartViews::percent(met, total, locale))},
      {number(rated), tr("rated 4–5")},
      {number(followed), tr("followed up (approved or sent)")},
      {number(static_cast<std::int64_t>(records.opportunities.size())), tr("opportunities")},
      {records.opportunities.empty()
           ? QStringLiteral("—")
           : EventChartViews::amounts(pipelineTotals(records.opportunities), locale),
       tr("in the pipeline")}};
  flow.figures(figures, 3);

  // The dashboard's charts.
  for (const ChartView& view : views) flow.chart(view);

  // The priority contacts.
  flow.heading(tr("Priority contacts"));
  const auto priority = priorityContacts(records.contacts, kPriorityRows);
  if (priority.empty()) {
    flow.text(tr("No targets or tier-A contacts waiting for a meeting."), flow.body(),
              flow.colors().muted);
  } else {
    std::vector<QStringList> rows;
    for (const ListContact* c : priority)
      rows.push_back({contactName(*c), qs(c->company), c->tier ? qs(*c->tier) : QString(),
                      c->isTarget && c->rank ? number(*c->rank) : QString(),
                      c->overallScore ? locale.toString(*c->overallScore, 'f', 1) : QString()});
    flow.table({tr("Name"), tr("Company"), tr("Tier"), tr("Rank"), tr("Score")}, rows,
               {0.32, 0.38, 0.1, 0.1, 0.1}, {false, false, false, true, true});
  }

  // The pipeline table, in the stages' order, largest first within a stage.
  flow.heading(tr("Pipeline"));
  if (records.opportunities.empty()) {
    flow.text(tr("No opportunities yet."), flow.body(), flow.colors().muted);
  } else {
    std::unordered_map<std::string, std::size_t> order;
    for (std::size_t i = 0; i < stages.size(); ++i)
      order.try_emplace(lowercaseUnicode(stages[i].name), i);
    std::vector<const Opportunity*> sorted;
    for (const Opportunity& o : records.opportunities) sorted.push_back(&o);
    const auto rank = [&](const Opportunity* o) {
      auto it = order.find(lowercaseUnicode(o->stage));
      return it == order.end() ? stages.size() : it->second;
    };
    std::stable_sort(sorted.begin(), sorted.end(), [&](const Opportunity* a, const Opportunity* b) {
      if (rank(a) != rank(b)) return rank(a) < rank(b);
      return a->value.value_or(0) > b->value.value_or(0);
    });
    std::vector<std::string> currencies;
    for (const Opportunity* o : sorted) currencies.push_back(o->currency);
    const CurrencyMark mark = currencyMarkFor(currencies);
    std::vector<QStringList> rows;
    for (const Opportunity* o : sorted)
      rows.push_back({qs(o->title), qs(o->companyName), qs(o->stage),
                      o->value ? moneyText(*o->value, o->currency, mark, locale) : QString(),
                      qs(o->nextStep)});
    flow.table({tr("Opportunity"), tr("Company"), tr("Stage"), tr("Value"), tr("Next step")}, rows,
               {0.25, 0.2, 0.14, 0.19, 0.22}, {false, false, false, true, false});
  }

  // The follow-up status: where each met contact's follow-up stands.
  flow.heading(tr("Follow-up status"));
  std::unordered_map<Uuid, std::string> furthest;  // none < draft < approved < sent
  const auto weight = [](const std::string& status) {
    return status == "sent" ? 3 : status == "approved" ? 2 : 1;
  };
  for (const FollowUpDraft& d : extras.drafts) {
    if (!d.contactID) continue;
    auto [it, added] = furthest.try_emplace(*d.contactID, d.status);
    if (!added && weight(d.status) > weight(it->second)) it->second = d.status;
  }
  std::map<int, std::int64_t> byWeight;
  std::vector<const ListContact*> waiting;
  for (const ListContact& c : records.contacts) {
    if (c.status != MeetingStatus::met) continue;
    auto it = furthest.find(c.id);
    const int w = it == furthest.end() ? 0 : weight(it->second);
    ++byWeight[w];
    if (w < 3) waiting.push_back(&c);
  }
  flow.text(tr("Of %Ln met contacts: ", nullptr, static_cast<int>(met)) +
                QStringList{tr("%1 without a draft").arg(number(byWeight[0])),
                            tr("%1 drafted").arg(number(byWeight[1])),
                            tr("%1 approved").arg(number(byWeight[2])),
                            tr("%1 sent").arg(number(byWeight[3]))}
                    .join(QStringLiteral(" · ")),
            flow.body(), flow.colors().text);
  flow.space(0.4);
  if (!waiting.empty()) {
    std::vector<QStringList> rows;
    for (std::size_t i = 0; i < std::min(waiting.size(), kWaitingRows); ++i) {
      const ListContact& c = *waiting[i];
      auto it = furthest.find(c.id);
      const QString state = it == furthest.end()       ? tr("No draft")
                            : it->second == "approved" ? tr("Approved, not sent")
                                                       : tr("Draft");
      rows.push_back({contactName(c), qs(c.company), state,
                      c.metAt ? mediumDate(c.metAt, locale) : QString()});
    }
    flow.table({tr("Still waiting for a follow-up"), tr("Company"), tr("Follow-up"), tr("Met")},
               rows, {0.34, 0.3, 0.2, 0.16}, {false, false, false, true});
    if (waiting.size() > kWaitingRows)
      flow.text(tr("… and %Ln more.", nullptr, static_cast<int>(waiting.size() - kWaitingRows)),
                flow.body(), flow.colors().muted);
  }
  painter.end();
  return bytes;
}

Status ShowReport::write(Store& store, const Uuid& eventID,
                         const std::vector<PipelineStage>& stages,
                         const std::filesystem::path& file, const QLocale& locale) {
  const QByteArray bytes = QM_TRY(render(store, eventID, stages, locale));
  return writeFileAtomically(
      file, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), 0600);
}

}  // namespace qm::desktop
