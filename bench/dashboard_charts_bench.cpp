// The dashboard's charts and the post-show report on an event of 10,000
// contacts (met over three days by four people, tiers, ratings, drafts and
// 300 opportunities across the stages): the event dashboard read and drawn
// with its charts beside the same dashboard without them, in the same run
// and alternating, and the report's PDF written to a file.
#include <QApplication>
#include <QPixmap>
#include <chrono>
#include <iostream>

#include "bench_contacts.h"
#include "bench_support.h"
#include "common/app_paths.h"
#include "common/date.h"
#include "desktop/companion_link.h"
#include "desktop/dashboard_view.h"
#include "desktop/desktop_context.h"
#include "desktop/event_chart_views.h"
#include "desktop/qt_text.h"
#include "desktop/show_report.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/store.h"
#include "support/temp_dir.h"
#include "ui/event_charts.h"
#include "ui/event_records.h"

namespace qm::bench {
namespace {

constexpr std::size_t kContacts = 10'000;
constexpr std::size_t kOpportunities = 300;
constexpr int kRepetitions = 9;
constexpr double kChartsTargetMs = 50;
constexpr double kReportTargetMs = 2000;

class Table : public SummaryTableBase {
 public:
  void timing(const std::string& label, const Timing& t) {
    row(label, fixed(t.median, 1) + " ms", fixed(t.min, 1), fixed(t.max, 1), "", "");
  }
  void target(const std::string& label, double ms, double target) {
    row(label, fixed(ms, 1) + " ms", "", "", "<= " + fixed(target, 0) + " ms",
        verdict(ms <= target));
  }
  void error(const std::string& label, const std::string& message) { errorRow(label, message); }
};

Result<Uuid> fillStore(Store& store) {
  Event event = Event::create("Bench Expo");
  event.startDate = parseISO8601("2026-03-14T08:00:00Z");
  event.endDate = parseISO8601("2026-03-16T18:00:00Z");
  event.location = "Hall 4";
  static constexpr std::array<const char*, 4> kTeam{"Ana", "Ben", "Chiara", "Dev"};
  static constexpr std::array<const char*, 4> kStages{"Exploring", "Interested", "Committed",
                                                      "Closed-Won"};
  Rng rng(42);
  std::vector<Uuid> met;
  QM_TRY(store.transaction([&]() -> Status {
    QM_TRY(store.insert(event));
    for (std::size_t i = 0; i < kContacts; ++i) {
      Contact c = benchContact(rng, i, event.id);
      c.tier = std::string(1, static_cast<char>('A' + i % 4));
      c.capturedBy = kTeam[i % kTeam.size()];
      if (c.status == MeetingStatus::met) {
        c.metAt = dateFromUnixSeconds(1773475200 + static_cast<std::int64_t>(rng.below(3 * 86400)));
        c.interactionRating = static_cast<std::int64_t>(1 + rng.below(5));
        if (i % 9 == 0) c.alsoMetBy = {kTeam[(i + 1) % kTeam.size()]};
        met.push_back(c.id);
      }
      QM_TRY(store.insert(c));
    }
    for (std::size_t i = 0; i < met.size(); i += 2) {
      FollowUpDraft d = FollowUpDraft::create("Thank you", "Body", met[i]);
      d.status = i % 6 == 0 ? "sent" : i % 4 == 0 ? "approved" : "draft";
      QM_TRY(store.insert(d));
    }
    for (std::size_t i = 0; i < kOpportunities; ++i) {
      Opportunity o = Opportunity::create("Deal " + std::to_string(i), "Co", event.id);
      o.stage = kStages[i % kStages.size()];
      o.value = 1000.0 * static_cast<double>(1 + i % 50);
      o.currency = i % 5 == 0 ? "USD" : "EUR";
      o.originContactID = met[i % met.size()];
      QM_TRY(store.insert(o));
    }
    return {};
  }));
  return event.id;
}

int run(char** argv) {
  test::TempDir home;
  test::TempDir runtime;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QUILLMERE_HOME", QByteArray::fromStdString(home.path().string()));
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path().string()));
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  const AppPaths paths = AppPaths::fromEnvironment();
  std::filesystem::create_directories(paths.applicationSupport);
  auto store = Store::open(paths.storeFile());
  if (!store) {
    std::cerr << "Cannot open the store: " << store.error().message << "\n";
    return 1;
  }
  const auto filling = std::chrono::steady_clock::now();
  auto eventID = fillStore(**store);
  if (!eventID) {
    std::cerr << "Cannot fill the store: " << eventID.error().message << "\n";
    return 1;
  }
  std::cout << "A store of " << kContacts << " contacts and " << kOpportunities
            << " opportunities made in "
            << std::chrono::duration<double>(std::chrono::steady_clock::now() - filling).count()
            << " s.\n\n";

  Table table;
  table.header();
  desktop::CompanionLink link(desktop::qs(paths.controlSocket().string()),
                              QStringLiteral("quillmere"));
  desktop::DesktopContext context{link, **store, paths};
  desktop::DashboardView view(context);
  view.resize(900, 800);
  view.show();
  // Read the records and draw the whole page (all of it, not only what the
  // scroll area shows), as the first paint of a tall dashboard does.
  const auto draw = [&](bool charts) {
    view.setChartsShown(charts);
    view.setEvent(*eventID);
    QApplication::processEvents();
    return !view.widget()->grab().isNull();
  };
  draw(true);  // warms the page cache and the fonts
  std::vector<double> with;
  std::vector<double> without;
  bool ok = true;
  for (int i = 0; i < kRepetitions; ++i)
    for (const bool charts : {true, false}) {
      const auto start = std::chrono::steady_clock::now();
      if (!draw(charts)) ok = false;
      (charts ? with : without)
          .push_back(
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count());
    }
  if (!ok) table.error("event dashboard", "the page did not draw");
  const Timing withCharts = summarise(with);
  const Timing withoutCharts = summarise(without);
  table.timing("event dashboard, 10k contacts, without charts", withoutCharts);
  table.timing("event dashboard, 10k contacts, with charts", withCharts);
  table.target("  the charts' cost (median difference)", withCharts.median - withoutCharts.median,
               kChartsTargetMs);

  UserDefaults defaults(paths.defaultsFile());
  const auto stages = PipelineManager(defaults).stages();
  // The parts of the charts' cost: what they read, and their figures.
  const auto records = loadEventRecords(**store, *eventID);
  bool read = records.ok();
  std::optional<ChartExtras> extras;
  table.timing("  of which: reading the drafts and links", timeRuns(
                                                               kRepetitions,
                                                               [&] {
                                                                 auto loaded =
                                                                     loadChartExtras(**store);
                                                                 if (!loaded) return false;
                                                                 extras = std::move(*loaded);
                                                                 return true;
                                                               },
                                                               read));
  if (read && extras) {
    const ChartRecords chartRecords{records->contacts,    records->opportunities, extras->drafts,
                                    extras->stakeholders, std::nullopt,           std::nullopt};
    table.timing(
        "  of which: the figures (eventCharts)",
        timeRuns(
            kRepetitions,
            [&] {
              return !eventCharts(chartRecords, stages, desktop::systemUtcOffset()).funnel.empty();
            },
            read));
  }
  if (!read) table.error("chart records", "the records could not be read");
  bool written = true;
  const auto file = home.path() / "report.pdf";
  const Timing report = timeRuns(
      5,
      [&] {
        auto status = desktop::ShowReport::write(**store, *eventID, stages, file);
        if (!status) std::cerr << status.error().message << "\n";
        return status.ok();
      },
      written);
  if (!written) table.error("post-show report", "the report was not written");
  table.timing("post-show report PDF, 10k contacts", report);
  table.target("  written (median)", report.median, kReportTargetMs);
  std::cout << "  report size: " << std::filesystem::file_size(file) / 1024 << " KiB\n";
  std::cout << std::string(114, '-') << "\n" << table.closingLine("") << "\n";
  return table.anyError() || !table.allMet() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main(int, char** argv) {
  return qm::bench::run(argv);
}
