// The desktop window at trade-show scale: a store of 50,000 contacts in five
// events (one of 10,000, four sharing the rest) behind a running companion.
// Measures
//  - the first paint of the real `quillmere-desktop` process, started on the
//    offscreen platform at the 10,000-contact event's contacts (median of 5);
//  - one keystroke in the contacts search of that event, in this process: a
//    ContactsView over the same store, from the key press to the list's model
//    holding the new rows (median over 20 keystrokes typing and erasing);
//  - the peak resident memory of the window process.
// Baselines in the same run: `visibleContacts` alone on the same records with
// the same search texts, and the peak memory and first paint of a bare
// QApplication with one QWidget (this program started again with --bare).
#include <unistd.h>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <chrono>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_contacts.h"
#include "bench_support.h"
#include "common/app_paths.h"
#include "desktop/companion_link.h"
#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/desktop_context.h"
#include "desktop/process_figures.h"
#include "desktop/qt_text.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/store.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "ui/contact_list.h"
#include "ui/event_records.h"

namespace qm::bench {
namespace {

using Clock = std::chrono::steady_clock;
using test::runCommand;
using test::Subprocess;
using test::TempDir;

constexpr std::size_t kBigEvent = 10'000;
constexpr std::size_t kOtherEvents = 4;
constexpr std::size_t kTotal = 50'000;
constexpr int kLaunches = 5;
constexpr double kFirstPaintTargetMs = 1000;
constexpr double kKeystrokeTargetMs = 50;
constexpr double kPeakTargetMiB = 250;
const std::string kBigEventName = "Mega Expo 10k";

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// The value after `key ` on a line of `text` ("first-paint-ms 412.5").
std::optional<double> reported(const std::string& text, const std::string& key) {
  const auto at = text.find(key + " ");
  if (at == std::string::npos) return std::nullopt;
  try {
    return std::stod(text.substr(at + key.size() + 1));
  } catch (...) {
    return std::nullopt;
  }
}

class DesktopTable : public SummaryTableBase {
 public:
  void ms(const std::string& label, const Timing& t, std::optional<double> target) {
    row(label, fixed(t.median, 2) + " ms", fixed(t.min, 2), fixed(t.max, 2),
        target ? "<= " + fixed(*target, 0) + " ms" : "baseline",
        target ? verdict(t.median <= *target) : "");
  }
  void mib(const std::string& label, const Timing& t, std::optional<double> target) {
    row(label, fixed(t.median, 1) + " MiB", fixed(t.min, 1), fixed(t.max, 1),
        target ? "<= " + fixed(*target, 0) + " MiB" : "baseline",
        target ? verdict(t.max <= *target) : "");
  }
  void ratio(const std::string& label, double value) {
    row(label, fixed(value, 1) + "x", "", "", "", "");
  }
  void error(const std::string& label, const std::string& message) { errorRow(label, message); }
};

/// Fills the store: five events, the first with 10,000 contacts, the others
/// sharing the remaining 40,000; one transaction.
Result<Uuid> fillStore(Store& store) {
  Rng rng(2026);
  Uuid bigEvent;
  Status done = store.transaction([&]() -> Status {
    for (std::size_t e = 0; e <= kOtherEvents; ++e) {
      Event event = Event::create(e == 0 ? kBigEventName : "Expo " + std::to_string(e));
      event.startDate = dateFromUnixSeconds(1'780'000'000 - static_cast<std::int64_t>(e) * 86'400);
      QM_TRY(store.insert(event));
      if (e == 0) bigEvent = event.id;
      const std::size_t count = e == 0 ? kBigEvent : (kTotal - kBigEvent) / kOtherEvents;
      for (std::size_t i = 0; i < count; ++i) QM_TRY(store.insert(benchContact(rng, i, event.id)));
    }
    return {};
  });
  if (!done) return done.error();
  return bigEvent;
}

/// The bare baseline: one empty widget that reports its first paint and the
/// process's peak memory the way the window does, then quits.
class BareWidget : public QWidget {
 public:
  explicit BareWidget(Clock::time_point started, std::chrono::microseconds beforeMain)
      : started_(started), beforeMain_(beforeMain) {}

 protected:
  void paintEvent(QPaintEvent* event) override {
    QWidget::paintEvent(event);
    if (painted_) return;
    painted_ = true;
    QTimer::singleShot(0, this, [this] {
      std::cout << "first-paint-ms "
                << msSince(started_) + static_cast<double>(beforeMain_.count()) / 1000.0 << "\n";
      std::cout << "peak-rss-kib " << qm::desktop::peakResidentKiB() << "\n";
      std::cout.flush();
      QApplication::exit(0);
    });
  }

 private:
  Clock::time_point started_;
  std::chrono::microseconds beforeMain_;
  bool painted_ = false;
};

int bareWindow(int argc, char** argv, Clock::time_point started,
               std::chrono::microseconds beforeMain) {
  QApplication app(argc, argv);
  BareWidget widget(started, beforeMain);
  widget.resize(1280, 800);
  widget.show();
  return app.exec();
}

struct Launches {
  std::vector<double> paintMs;
  std::vector<double> peakMiB;
  std::string failure;
};

/// Starts `program` once to warm the caches, then kLaunches times, reading
/// the first paint and peak memory each run prints.
Launches launch(const std::filesystem::path& program, const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env) {
  Launches out;
  for (int i = 0; i <= kLaunches; ++i) {
    TempDir outDir;
    Subprocess process(program, args, env, outDir.path());
    std::optional<int> code = process.wait(std::chrono::seconds(60));
    if (!code) code = process.stop(SIGKILL, std::chrono::seconds(5));
    const std::string printed = process.output();
    const auto paint = reported(printed, "first-paint-ms");
    const auto peak = reported(printed, "peak-rss-kib");
    if (code != 0 || !paint || !peak) {
      out.failure = (code ? "exit " + std::to_string(*code) : std::string("did not end")) + ": " +
                    printed + process.errors();
      return out;
    }
    if (i == 0) continue;
    out.paintMs.push_back(*paint);
    out.peakMiB.push_back(*peak / 1024.0);
  }
  return out;
}

int run(char** argv) {
  TempDir home;
  TempDir runtime;  // Qt wants a private runtime folder and warns without one
  const AppPaths paths = AppPaths::under(home.path());
  const std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                               {"QUILLMERE_PEER_PORT", "0"},
                                               {"QT_QPA_PLATFORM", "offscreen"},
                                               {"XDG_RUNTIME_DIR", runtime.path().string()}};
  DesktopTable table;

  Uuid bigEvent;
  {
    auto store = Store::open(paths.storeFile());
    if (!store) {
      std::cerr << "Cannot open the store: " << store.error().message << "\n";
      return 1;
    }
    const auto start = Clock::now();
    auto filled = fillStore(**store);
    if (!filled) {
      std::cerr << "Cannot fill the store: " << filled.error().message << "\n";
      return 1;
    }
    bigEvent = *filled;
    std::cout << "Store of " << kTotal << " contacts in " << kOtherEvents + 1
              << " events written in " << SummaryTableBase::fixed(msSince(start), 0) << " ms\n";
  }

  TempDir outDir;
  Subprocess companion(QUILLMERE_BINARY, {"run"}, env, outDir.path());
  if (!test::eventually([&] { return runCommand(QUILLMERE_BINARY, {"status"}, env).exitCode == 0; },
                        std::chrono::seconds(30))) {
    std::cerr << "The companion did not start: " << companion.errors() << "\n";
    return 1;
  }

  std::cout << "\nThe window over " << kTotal << " contacts, the " << kBigEvent
            << "-contact event's contacts (first paint: median of " << kLaunches
            << " launches)\n\n";
  table.header();

  // The bare window and the real one, each started kLaunches times (after one
  // unmeasured start).
  const Launches bare = launch(std::filesystem::read_symlink("/proc/self/exe"), {"--bare"}, env);
  const Launches window = launch(QUILLMERE_DESKTOP_BINARY,
                                 {"--report-first-paint", "--quit-after-paint", "--event",
                                  kBigEventName, "--mode", "contacts"},
                                 env);
  if (!bare.failure.empty()) table.error("baseline: bare QApplication + QWidget", bare.failure);
  if (!window.failure.empty()) table.error("window: first paint", window.failure);
  if (bare.failure.empty())
    table.ms("baseline: bare QWidget, first paint", summarise(bare.paintMs), std::nullopt);
  if (window.failure.empty())
    table.ms("window: first paint, 10k-contact event", summarise(window.paintMs),
             kFirstPaintTargetMs);

  // One keystroke in the contacts search, in this process.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QUILLMERE_HOME", QByteArray::fromStdString(home.path().string()));
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path().string()));
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  auto store = Store::open(paths.storeFile());
  if (!store) {
    std::cerr << "Cannot open the store: " << store.error().message << "\n";
    return 1;
  }
  desktop::CompanionLink link(desktop::qs(paths.controlSocket().string()),
                              QStringLiteral(QUILLMERE_BINARY));
  desktop::DesktopContext context{link, **store, paths};
  desktop::ContactsView view(context);
  view.resize(900, 700);
  view.setEvent(bigEvent);
  view.show();
  QApplication::processEvents();

  // Typing a name and erasing it, then another: 20 keystrokes.
  std::vector<char> keys;
  for (char c : std::string("kenji")) keys.push_back(c);
  for (int i = 0; i < 5; ++i) keys.push_back('\b');
  for (char c : std::string("acme")) keys.push_back(c);
  for (int i = 0; i < 4; ++i) keys.push_back('\b');
  for (char c : std::string("wei")) keys.push_back(c);
  keys.push_back('\b');
  std::vector<std::string> searches;  // the search text after each keystroke
  std::vector<double> keystrokeMs;
  std::size_t updates = 0;
  QObject::connect(view.model(), &QAbstractItemModel::modelReset, [&] { ++updates; });
  QObject::connect(view.model(), &QAbstractItemModel::layoutChanged, [&] { ++updates; });
  std::string text;
  for (char key : keys) {
    if (key == '\b')
      text.pop_back();
    else
      text.push_back(key);
    searches.push_back(text);
    const std::size_t before = updates;
    const auto start = Clock::now();
    if (key == '\b')
      QTest::keyClick(view.searchField(), Qt::Key_Backspace);
    else
      QTest::keyClick(view.searchField(), key);
    // A list that waits for typing to pause updates later: wait for it.
    while (updates == before && msSince(start) < 5000) QApplication::processEvents();
    keystrokeMs.push_back(msSince(start));
    if (updates == before || desktop::utf8(view.searchField()->text()) != text) {
      table.error("window: keystroke in contacts search",
                  "the list did not follow the search \"" + text + "\"");
      keystrokeMs.clear();
      break;
    }
  }

  auto records = loadEventRecords(**store, bigEvent);
  if (!records) {
    std::cerr << "Cannot read the event: " << records.error().message << "\n";
    return 1;
  }
  std::vector<double> listMs;
  std::size_t sink = 0;
  for (const std::string& search : searches) {
    ContactListState state;
    state.searchText = search;
    const auto start = Clock::now();
    sink += visibleContacts(records->contacts, records->contactsWithNotes, state).size();
    listMs.push_back(msSince(start));
  }
  const Timing list = summarise(listMs);
  table.ms("baseline: visibleContacts alone, same searches", list, std::nullopt);
  if (!keystrokeMs.empty()) {
    const Timing key = summarise(keystrokeMs);
    table.ms("window: keystroke in contacts search, 10k", key, kKeystrokeTargetMs);
    if (list.median > 0) table.ratio("  keystroke / visibleContacts", key.median / list.median);
  }

  if (bare.failure.empty())
    table.mib("baseline: bare QWidget, peak memory", summarise(bare.peakMiB), std::nullopt);
  if (window.failure.empty()) {
    const Timing peak = summarise(window.peakMiB);
    table.mib("window: peak memory (VmHWM), 50k store", peak, kPeakTargetMiB);
    if (bare.failure.empty())
      table.ratio("  window / bare QWidget", peak.median / summarise(bare.peakMiB).median);
    if (bare.failure.empty())
      table.ratio("  window / bare QWidget, first paint",
                  summarise(window.paintMs).median / summarise(bare.paintMs).median);
  }

  std::cout << std::string(114, '-') << "\n"
            << table.closingLine("") << " (" << sink << " rows listed)\n";
  view.close();
  companion.stop(SIGTERM, std::chrono::seconds(10));
  return table.anyError() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main(int argc, char** argv) {
  const auto started = qm::bench::Clock::now();
  const auto beforeMain = qm::desktop::runningBeforeMain();
  if (argc > 1 && std::string(argv[1]) == "--bare")
    return qm::bench::bareWindow(argc, argv, started, beforeMain);
  return qm::bench::run(argv);
}
