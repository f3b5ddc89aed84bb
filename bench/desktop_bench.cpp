// The desktop window at trade-show scale: a store of 80,000 contacts in three
// events of 10,000, 20,000 and 50,000 behind a running companion. For each
// event it measures
//  - the first paint of the real `quillmere-desktop` process, started on the
//    offscreen platform at the event's contacts and at its dashboard (median
//    of 5 launches each), with the process's peak resident memory (of each
//    contacts launch, and of the 50,000-contact dashboard's), and the peak
//    once a first Ctrl+K search has built the search index (the window
//    started with --search at the 50,000-contact event);
//  - one keystroke in the event's contacts search, in this process: a
//    ContactsView over the same store, from the key press to the list's model
//    holding the new rows (median over 20 keystrokes typing and erasing);
//  - Ctrl+K, typing a last name and Enter, in this process: a MainWindow on
//    the event's contacts, from the key press to the contacts list having the
//    contact as its current row, less the search's 0.1 s wait for typing to
//    pause (median over the 7 contacts of the event whose last names are their
//    own), after a first search of the session, shown apart, which builds the
//    search index (beside the search engine's own first query).
// Baselines in the same run: `visibleContacts` alone on the same records with
// the same search texts, the search engine alone answering the same queries
// over the same store, and the peak memory and first paint of a bare
// QApplication with one QWidget (this program started again with --bare).
#include <unistd.h>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
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
#include "desktop/event_sidebar.h"
#include "desktop/main_window.h"
#include "desktop/process_figures.h"
#include "desktop/qt_text.h"
#include "desktop/search_popup.h"
#include "search/global_search_engine.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/store.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "ui/contact_list.h"
#include "ui/contact_search_texts.h"
#include "ui/event_records.h"

namespace qm::bench {
namespace {

using Clock = std::chrono::steady_clock;
using test::runCommand;
using test::Subprocess;
using test::TempDir;

constexpr int kLaunches = 5;
constexpr double kContactsPaintTargetMs = 1000;
constexpr double kDashboardPaintTargetMs = 500;
constexpr double kKeystrokeTargetMs = 50;
constexpr double kJumpTargetMs = 100;
constexpr double kPeakTargetMiB = 200e6 / (1024.0 * 1024.0);  // 200 MB
/// The wait of the global search for typing to pause, which the Ctrl+K figure
/// leaves out: it is there by design, not work.
constexpr double kSearchDebounceMs =
    std::chrono::duration<double, std::milli>(GlobalSearchEngine::kDebounce).count();

/// Last names no generated contact has: each is given to one contact of one
/// event, so that a search for it has that contact as its best hit.
constexpr std::size_t kOwnNamesPerEvent = 7;
constexpr std::array<std::string_view, 3 * kOwnNamesPerEvent> kOwnLastNames = {
    "Abernethy",   "Brannigan",     "Castellucci", "Drummond",  "Esterhazy", "Fairweather",
    "Galbraith",   "Hollingsworth", "Ingleby",     "Jablonski", "Kavanagh",  "Lockwood",
    "Macallister", "Northcott",     "Oyelaran",    "Pemberton", "Quarrie",   "Rutherford",
    "Stavridis",   "Thistlewood",   "Underhill"};

/// One of the store's events and the contacts of it with a last name of their own.
struct BenchEvent {
  std::size_t contacts = 0;
  std::string name;
  std::string label;  ///< "50k"
  Uuid id;
  std::vector<Contact> ownNamed;
};

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

/// Runs the event loop until `done` or five seconds; whether `done` came.
bool waitFor(const std::function<bool()>& done) {
  const auto start = Clock::now();
  while (!done()) {
    if (msSince(start) > 5000) return false;
    QApplication::processEvents();
  }
  return true;
}

QtMessageHandler defaultMessages = nullptr;

/// Drops what the offscreen platform says each time the search popup is
/// placed or raised, which would break up the table.
void quieterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("This plugin does not support"))) return;
  defaultMessages(type, context, message);
}

class DesktopTable : public SummaryTableBase {
 public:
  void ms(const std::string& label, const Timing& t, std::optional<double> target) {
    row(label, fixed(t.median, 2) + " ms", fixed(t.min, 2), fixed(t.max, 2),
        target ? "<= " + fixed(*target, 0) + " ms" : "baseline",
        target ? verdict(t.median <= *target) : "");
  }
  /// A figure shown for what it tells, with no target of its own.
  void note(const std::string& label, double ms) {
    row(label, fixed(ms, 2) + " ms", "", "", "", "");
  }
  void mib(const std::string& label, const Timing& t, std::optional<double> target) {
    row(label, fixed(t.median, 1) + " MiB", fixed(t.min, 1), fixed(t.max, 1),
        target ? "<= " + fixed(*target, 1) + " MiB" : "baseline",
        target ? verdict(t.max <= *target) : "");
  }
  void ratio(const std::string& label, double value) {
    row(label, fixed(value, 1) + "x", "", "", "", "");
  }
  void error(const std::string& label, const std::string& message) { errorRow(label, message); }
};

/// Fills the store with the events, one transaction; each event's contacts
/// with its own last names are spread over its list.
Status fillStore(Store& store, std::vector<BenchEvent>& events) {
  Rng rng(2026);
  return store.transaction([&]() -> Status {
    for (std::size_t e = 0; e < events.size(); ++e) {
      BenchEvent& bench = events[e];
      Event event = Event::create(bench.name);
      event.startDate = dateFromUnixSeconds(1'780'000'000 - static_cast<std::int64_t>(e) * 86'400);
      QM_TRY(store.insert(event));
      bench.id = event.id;
      const std::size_t spacing = bench.contacts / (kOwnNamesPerEvent + 1);
      for (std::size_t i = 0; i < bench.contacts; ++i) {
        Contact contact = benchContact(rng, i, event.id);
        if (i > 0 && i % spacing == 0 && i / spacing <= kOwnNamesPerEvent) {
          contact.lastName = std::string(kOwnLastNames[e * kOwnNamesPerEvent + i / spacing - 1]);
          contact.email = asciiFolded(contact.firstName) + "." + asciiFolded(contact.lastName) +
                          "@" + contact.email->substr(contact.email->find('@') + 1);
          bench.ownNamed.push_back(contact);
        }
        QM_TRY(store.insert(contact));
      }
    }
    return {};
  });
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

/// The window process started at the event in `mode`: its first paint, and
/// its peak memory when `peakRow` is given.
void measureLaunches(DesktopTable& table, const std::map<std::string, std::string>& env,
                     const BenchEvent& event, const std::string& mode, double target,
                     const Launches& bare, bool peakRow) {
  const std::string what = "window: " + mode + " first paint, " + event.label;
  const Launches window = launch(
      QUILLMERE_DESKTOP_BINARY,
      {"--report-first-paint", "--quit-after-paint", "--event", event.name, "--mode", mode}, env);
  if (!window.failure.empty()) {
    table.error(what, window.failure);
    return;
  }
  const Timing paint = summarise(window.paintMs);
  table.ms(what, paint, target);
  if (bare.failure.empty())
    table.ratio("  / bare QWidget first paint", paint.median / summarise(bare.paintMs).median);
  if (!peakRow) return;
  const Timing peak = summarise(window.peakMiB);
  table.mib("window: " + mode + " peak memory (VmHWM), " + event.label, peak, kPeakTargetMiB);
  if (bare.failure.empty())
    table.ratio("  / bare QWidget peak memory", peak.median / summarise(bare.peakMiB).median);
}

/// The peak resident memory (VmHWM) of process `pid` in KiB, or nothing.
std::optional<double> peakKiBOf(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6));  // "VmHWM:\t 1234 kB"
  return std::nullopt;
}

/// The window started at the event's contacts with Ctrl+K open on `query`,
/// as after a user's first search of the session: its peak memory once the
/// search index is built, which is when the peak stops growing (polled until
/// it has stayed the same for 1.5 s). Median of kLaunches.
void measurePeakAfterSearch(DesktopTable& table, const std::map<std::string, std::string>& env,
                            const BenchEvent& event, const std::string& query,
                            const Launches& bare) {
  const std::string what = "window: peak memory after first Ctrl+K, " + event.label;
  std::vector<double> peakMiB;
  for (int i = 0; i < kLaunches; ++i) {
    TempDir outDir;
    Subprocess process(
        QUILLMERE_DESKTOP_BINARY,
        {"--report-first-paint", "--event", event.name, "--mode", "contacts", "--search", query},
        env, outDir.path());
    std::optional<double> peak;
    auto steadySince = Clock::now();
    const auto start = Clock::now();
    while (msSince(start) < 60'000 && process.running()) {
      const auto now = peakKiBOf(process.pid());
      if (now != peak) {
        peak = now;
        steadySince = Clock::now();
      } else if (process.output().find("first-paint-ms") != std::string::npos &&
                 msSince(steadySince) > 1500) {
        break;
      }
      QTest::qSleep(50);
    }
    const bool steady = peak && process.running() && msSince(start) < 60'000;
    process.stop(SIGTERM, std::chrono::seconds(10));
    if (!steady) {
      table.error(what, "the window ended or its memory kept growing: " + process.errors());
      return;
    }
    peakMiB.push_back(*peak / 1024.0);
  }
  const Timing peak = summarise(peakMiB);
  table.mib(what, peak, kPeakTargetMiB);
  if (bare.failure.empty())
    table.ratio("  / bare QWidget peak memory", peak.median / summarise(bare.peakMiB).median);
}

/// One keystroke in the event's contacts search, beside visibleContacts alone
/// running the same searches over the same records.
void measureKeystroke(DesktopTable& table, desktop::ContactsView& view, Store& store,
                      const BenchEvent& event) {
  view.setEvent(event.id);
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
  const auto reset =
      QObject::connect(view.model(), &QAbstractItemModel::modelReset, [&] { ++updates; });
  const auto layout =
      QObject::connect(view.model(), &QAbstractItemModel::layoutChanged, [&] { ++updates; });
  std::string text;
  const std::string what = "window: keystroke in contacts search, " + event.label;
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
    waitFor([&] { return updates != before; });
    keystrokeMs.push_back(msSince(start));
    if (updates == before || desktop::utf8(view.searchField()->text()) != text) {
      table.error(what, "the list did not follow the search \"" + text + "\"");
      keystrokeMs.clear();
      break;
    }
  }
  QObject::disconnect(reset);
  QObject::disconnect(layout);

  auto records = loadEventRecords(store, event.id);
  if (!records) {
    table.error(what, "cannot read the event: " + records.error().message);
    return;
  }
  // The texts are folded once per reading of the records, as the view does.
  const ContactSearchTexts texts(records->contacts);
  std::vector<double> listMs;
  std::size_t listed = 0;
  for (const std::string& search : searches) {
    ContactListState state;
    state.searchText = search;
    const auto start = Clock::now();
    listed += visibleContacts(records->contacts, texts, records->contactsWithNotes, state).size();
    listMs.push_back(msSince(start));
  }
  const Timing list = summarise(listMs);
  table.ms("baseline: visibleContacts alone, " + event.label, list, std::nullopt);
  if (listed == 0) table.error(what, "the searches listed no contacts");
  if (!keystrokeMs.empty()) {
    const Timing key = summarise(keystrokeMs);
    table.ms(what, key, kKeystrokeTargetMs);
    if (list.median > 0) table.ratio("  / visibleContacts alone", key.median / list.median);
  }
}

/// Ctrl+K, the contact's last name and Enter in `window`: the milliseconds
/// from the key press to the contacts list having the contact as its current
/// row, or nothing when it did not get there.
std::optional<double> jumpTo(desktop::MainWindow& window, const Contact& contact) {
  desktop::SearchPopup* popup = window.searchPopup();
  desktop::ContactsView* contacts = window.contactsView();
  const QString fullName = desktop::qs(contact.fullName());
  const auto start = Clock::now();
  QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
  if (!waitFor([&] { return popup->isVisible(); })) return std::nullopt;
  QTest::keyClicks(popup->field(), desktop::qs(contact.lastName));
  // The best hit (the row under the group's title) is the contact.
  const auto shown = [&] {
    const QAbstractItemModel* hits = popup->hitList()->model();
    return hits->rowCount() > 1 && hits->index(1, 0).data().toString() == fullName;
  };
  if (!waitFor(shown)) return std::nullopt;
  QTest::keyClick(popup->field(), Qt::Key_Return);
  const auto selected = [&] {
    const ListContact* current =
        contacts->model()->contactAt(contacts->table()->currentIndex().row());
    return !popup->isVisible() && window.mode() == desktop::MainWindow::Mode::contacts && current &&
           current->id == contact.id;
  };
  if (!waitFor(selected)) return std::nullopt;
  return msSince(start);
}

/// Ctrl+K then Enter to each contact of the event with a last name of its own,
/// from the event's contacts list, beside the search engine alone answering
/// the same queries over the same store.
void measureJump(DesktopTable& table, desktop::MainWindow& window, GlobalSearchEngine& engine,
                 const BenchEvent& event) {
  const std::string what = "window: Ctrl+K, name, Enter, " + event.label;
  window.sidebar()->choose(event.id);
  window.setMode(desktop::MainWindow::Mode::contacts);
  QApplication::processEvents();

  std::vector<double> jumpMs;
  for (const Contact& contact : event.ownNamed) {
    const auto took = jumpTo(window, contact);
    if (!took) {
      table.error(what, "the contacts list did not get to " + contact.fullName());
      return;
    }
    jumpMs.push_back(*took - kSearchDebounceMs);
  }

  std::vector<double> engineMs;
  for (const Contact& contact : event.ownNamed) {
    const auto start = Clock::now();
    engine.search(contact.lastName);
    engineMs.push_back(msSince(start));
    const auto found = engine.results().find(SearchResultCategory::contacts);
    const bool best = found != engine.results().end() && !found->second.empty() &&
                      found->second.front().primaryText == contact.fullName();
    if (!best) {
      table.error(what, "the search engine's best hit for " + contact.lastName + " is not " +
                            contact.fullName());
      return;
    }
  }
  const Timing alone = summarise(engineMs);
  table.ms("baseline: search engine query alone, " + event.label, alone, std::nullopt);
  const Timing jump = summarise(jumpMs);
  table.ms(what, jump, kJumpTargetMs);
  if (alone.median > 0) table.ratio("  / search engine query alone", jump.median / alone.median);
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

  std::vector<BenchEvent> events(3);
  events[0].contacts = 10'000;
  events[0].name = "Mega Expo 10k";
  events[0].label = "10k";
  events[1].contacts = 20'000;
  events[1].name = "Mega Expo 20k";
  events[1].label = "20k";
  events[2].contacts = 50'000;
  events[2].name = "Mega Expo 50k";
  events[2].label = "50k";
  std::size_t total = 0;
  for (const BenchEvent& event : events) total += event.contacts;
  {
    auto store = Store::open(paths.storeFile());
    if (!store) {
      std::cerr << "Cannot open the store: " << store.error().message << "\n";
      return 1;
    }
    const auto start = Clock::now();
    if (Status filled = fillStore(**store, events); !filled) {
      std::cerr << "Cannot fill the store: " << filled.error().message << "\n";
      return 1;
    }
    std::cout << "Store of " << total << " contacts in " << events.size() << " events written in "
              << SummaryTableBase::fixed(msSince(start), 0) << " ms\n";
  }

  TempDir outDir;
  Subprocess companion(QUILLMERE_BINARY, {"run"}, env, outDir.path());
  if (!test::eventually([&] { return runCommand(QUILLMERE_BINARY, {"status"}, env).exitCode == 0; },
                        std::chrono::seconds(30))) {
    std::cerr << "The companion did not start: " << companion.errors() << "\n";
    return 1;
  }

  std::cout << "\nThe window over " << total
            << " contacts in events of 10k, 20k and 50k (first paint: median of " << kLaunches
            << " launches; Ctrl+K less the search's " << kSearchDebounceMs
            << " ms wait for typing to pause)\n\n";
  table.header();

  // The bare window and the real one, each started kLaunches times (after one
  // unmeasured start).
  const Launches bare = launch(std::filesystem::read_symlink("/proc/self/exe"), {"--bare"}, env);
  if (!bare.failure.empty()) {
    table.error("baseline: bare QApplication + QWidget", bare.failure);
  } else {
    table.ms("baseline: bare QWidget, first paint", summarise(bare.paintMs), std::nullopt);
    table.mib("baseline: bare QWidget, peak memory", summarise(bare.peakMiB), std::nullopt);
  }
  for (const BenchEvent& event : events) {
    measureLaunches(table, env, event, "contacts", kContactsPaintTargetMs, bare, true);
    measureLaunches(table, env, event, "dashboard", kDashboardPaintTargetMs, bare,
                    &event == &events.back());
  }
  measurePeakAfterSearch(table, env, events.back(), events.back().ownNamed.front().lastName, bare);

  // The keystroke and Ctrl+K, in this process.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QUILLMERE_HOME", QByteArray::fromStdString(home.path().string()));
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path().string()));
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  defaultMessages = qInstallMessageHandler(quieterMessages);
  auto store = Store::open(paths.storeFile());
  if (!store) {
    std::cerr << "Cannot open the store: " << store.error().message << "\n";
    return 1;
  }
  desktop::CompanionLink link(desktop::qs(paths.controlSocket().string()),
                              QStringLiteral(QUILLMERE_BINARY));
  desktop::DesktopContext context{link, **store, paths};
  {
    desktop::ContactsView view(context);
    view.resize(900, 700);
    view.show();
    for (const BenchEvent& event : events) measureKeystroke(table, view, **store, event);
  }

  desktop::MainWindow window(context);
  window.resize(1280, 800);
  window.show();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) {
    table.error("window: Ctrl+K", "the main window did not become active");
  } else {
    // The session's first search reads every record into the search index.
    window.sidebar()->choose(events.front().id);
    window.setMode(desktop::MainWindow::Mode::contacts);
    QApplication::processEvents();
    const auto first = jumpTo(window, events.front().ownNamed.front());
    GlobalSearchEngine engine(
        **store, [](std::chrono::milliseconds, std::function<void()> task) { task(); });
    const auto building = Clock::now();
    engine.search(events.front().ownNamed.front().lastName);
    const double built = msSince(building);
    table.note("baseline: search engine first query (index build)", built);
    if (first) {
      table.note("window: first Ctrl+K of the session (index build)", *first - kSearchDebounceMs);
      table.ratio("  / search engine first query", (*first - kSearchDebounceMs) / built);
    } else {
      table.error("window: first Ctrl+K", "the contacts list did not get to the contact");
    }
    for (const BenchEvent& event : events) measureJump(table, window, engine, event);
  }

  std::cout << std::string(114, '-') << "\n" << table.closingLine("") << "\n";
  window.hide();
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
