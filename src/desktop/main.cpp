// quillmere-desktop: the window over the running companion. It starts the
// companion when none runs and leaves it running when the window closes.
//
// Options place the window at a given event, list mode, contact or search, so
// that the window can be shown (and photographed) in a known state; and
// --report-first-paint prints how long the process took to paint its window.
//
// --report EVENT_ID --output FILE writes the event's post-show report as a PDF
// and exits without a window or a companion: `quillmere report` runs it on the
// offscreen platform, so the command needs no display.

#include <unistd.h>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "common/app_paths.h"
#include "common/version.h"
#include "desktop/appearance.h"
#include "desktop/capture_preview.h"
#include "desktop/companion_link.h"
#include "desktop/contacts_view.h"
#include "desktop/desktop_context.h"
#include "desktop/detail/contact_detail_view.h"
#include "desktop/drafts_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/language.h"
#include "desktop/main_window.h"
#include "desktop/pairing_window.h"
#include "desktop/process_figures.h"
#include "desktop/qt_text.h"
#include "desktop/search_popup.h"
#include "desktop/settings_window.h"
#include "desktop/show_report.h"
#include "settings/app_settings.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/store.h"

namespace {

using Clock = std::chrono::steady_clock;

/// The companion program: beside this one (a build tree or an install), else on PATH.
QString companionProgram() {
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("quillmere");
  if (QFileInfo(beside).isExecutable()) return beside;
  const QString onPath = QStandardPaths::findExecutable(QStringLiteral("quillmere"));
  return onPath.isEmpty() ? QStringLiteral("quillmere") : onPath;
}

int fail(const QString& text) {
  QMessageBox::critical(nullptr, QStringLiteral("Quillmere"), text);
  return 1;
}

/// Waits for the first paint of a window and reports when it has been shown:
/// the paint event of any of its widgets marks the frame, and the report runs
/// once the event loop is back, after that frame was drawn and flushed.
class FirstPaintWatcher : public QObject {
 public:
  FirstPaintWatcher(QWidget& window, std::function<void()> painted)
      : window_(window), painted_(std::move(painted)) {}

  bool eventFilter(QObject* object, QEvent* event) override {
    if (!done_ && event->type() == QEvent::Paint && object->isWidgetType() &&
        static_cast<QWidget*>(object)->window() == &window_) {
      done_ = true;
      QTimer::singleShot(0, this, [this] { painted_(); });
      qApp->removeEventFilter(this);
    }
    return false;
  }

 private:
  QWidget& window_;
  std::function<void()> painted_;
  bool done_ = false;
};

std::optional<qm::Uuid> eventNamed(qm::Store& store, const QString& name) {
  auto events = store.fetchOnly<qm::Event>({"id", "name"});
  if (!events) return std::nullopt;
  const std::string wanted = qm::desktop::utf8(name);
  for (const qm::Event& event : *events)
    if (event.name == wanted) return event.id;
  for (const qm::Event& event : *events)
    if (QString::compare(qm::desktop::qs(event.name), name, Qt::CaseInsensitive) == 0)
      return event.id;
  return std::nullopt;
}

/// The contact called `name` ("First Last", "Last First", either without the
/// space as Chinese, Japanese and Korean names are written, or one name alone),
/// in the event when one is given.
std::optional<qm::Uuid> contactNamed(qm::Store& store, const QString& name,
                                     const std::optional<qm::Uuid>& eventID) {
  std::vector<qm::Match> where;
  if (eventID) where.push_back({"eventID", *eventID});
  auto contacts = store.fetchOnly<qm::Contact>({"id", "firstName", "lastName"}, where);
  if (!contacts) return std::nullopt;
  const QString wanted = name.simplified();
  const auto same = [&](const std::string& text) {
    return QString::compare(qm::desktop::qs(text).simplified(), wanted, Qt::CaseInsensitive) == 0;
  };
  for (const qm::Contact& c : *contacts)
    if (same(c.fullName()) || same(c.lastName + " " + c.firstName) ||
        same(c.firstName + c.lastName) || same(c.lastName + c.firstName))
      return c.id;
  for (const qm::Contact& c : *contacts)
    if (same(c.firstName) || same(c.lastName)) return c.id;
  return std::nullopt;
}

/// --report: the event's post-show report, read from the store as it is.
int writeReport(const qm::AppPaths& paths, const QString& eventID, const QString& output) {
  using namespace qm;
  const auto id = Uuid::parse(desktop::utf8(eventID));
  if (!id) {
    std::fprintf(stderr, "\"%s\" is not an event id.\n", qPrintable(eventID));
    return 2;
  }
  if (output.isEmpty()) {
    std::fprintf(stderr, "--report needs --output FILE.\n");
    return 2;
  }
  std::error_code missing;
  if (!std::filesystem::exists(paths.storeFile(), missing)) {
    std::fprintf(stderr, "There is no store at %s.\n", paths.storeFile().c_str());
    return 1;
  }
  auto store = Store::open(paths.storeFile());
  if (!store) {
    std::fprintf(stderr, "Cannot open the store: %s\n", store.error().message.c_str());
    return 1;
  }
  UserDefaults defaults(paths.defaultsFile());
  const std::vector<PipelineStage> stages = PipelineManager(defaults).stages();
  const std::filesystem::path file(QFile::encodeName(output).toStdString());
  if (Status written = desktop::ShowReport::write(**store, *id, stages, file); !written) {
    std::fprintf(stderr, "Cannot write the report: %s\n", written.error().message.c_str());
    return written.error().code == ErrorCode::notFound ? 2 : 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Clock::time_point started = Clock::now();
  const std::chrono::microseconds beforeMain = qm::desktop::runningBeforeMain();

  // The version answers without a display, as for any program in a terminal.
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version" || arg == "-v") {
      std::printf("quillmere-desktop %s\n", std::string(qm::quillmereVersion()).c_str());
      return 0;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillmere"));
  QApplication::setApplicationVersion(qm::desktop::qs(qm::quillmereVersion()));
  QApplication::setDesktopFileName(QStringLiteral("com.quillmere.Quillmere"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("The Quillmere desktop window"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption eventOption(QStringLiteral("event"),
                                       QStringLiteral("Show the event called NAME."),
                                       QStringLiteral("NAME"));
  const QCommandLineOption modeOption(
      QStringLiteral("mode"),
      QStringLiteral("Show the list MODE: dashboard, contacts, companies, opportunities, "
                     "drafts or reports."),
      QStringLiteral("MODE"));
  const QCommandLineOption contactOption(
      QStringLiteral("contact"), QStringLiteral("Select the contact called NAME in the contacts."),
      QStringLiteral("NAME"));
  const QCommandLineOption searchOption(QStringLiteral("search"),
                                        QStringLiteral("Open the search (Ctrl+K) with TEXT."),
                                        QStringLiteral("TEXT"));
  const QCommandLineOption draftOption(
      QStringLiteral("draft"),
      QStringLiteral("Show the drafts with the first draft to the contact called NAME open."),
      QStringLiteral("NAME"));
  const QCommandLineOption batchOption(
      QStringLiteral("generate-drafts"),
      QStringLiteral("Show the drafts and start writing drafts for the met contacts without one."));
  const QCommandLineOption captureOption(
      QStringLiteral("capture"),
      QStringLiteral("Open the first capture image of the contact called NAME."),
      QStringLiteral("NAME"));
  const QCommandLineOption exportOption(
      QStringLiteral("export"),
      QStringLiteral("Open the export sheet (Ctrl+E) on the event of --event or --contact."));
  const QCommandLineOption editOption(
      QStringLiteral("edit"),
      QStringLiteral("Open the editor of the contact of --contact: WHAT is contact or opportunity "
                     "(a new one)."),
      QStringLiteral("WHAT"));
  const QCommandLineOption pairingOption(QStringLiteral("pairing"),
                                         QStringLiteral("Open the pairing window."));
  const QCommandLineOption settingsOption(
      QStringLiteral("settings"),
      QStringLiteral("Open the settings on TAB: general, appearance, ai, templates, mail, export, "
                     "pipeline, mcp, pairing or privacy."),
      QStringLiteral("TAB"));
  const QCommandLineOption reportOption(
      QStringLiteral("report-first-paint"),
      QStringLiteral("Print the milliseconds from the start of the process to the window's "
                     "first paint."));
  const QCommandLineOption quitOption(
      QStringLiteral("quit-after-paint"),
      QStringLiteral("With --report-first-paint: quit once reported, printing the peak "
                     "resident memory."));
  parser.addOptions({eventOption, modeOption, contactOption, searchOption, draftOption, batchOption,
                     captureOption, pairingOption, settingsOption, reportOption, quitOption});
  const QCommandLineOption showReportOption(
      QStringLiteral("report"),
      QStringLiteral("Write the post-show report of the event with the id ID as a PDF (see "
                     "--output), then quit; needs no window and no companion."),
      QStringLiteral("ID"));
  const QCommandLineOption outputOption(QStringLiteral("output"),
                                        QStringLiteral("The PDF file --report writes."),
                                        QStringLiteral("FILE"));
  parser.addOption(exportOption);
  parser.addOption(editOption);
  parser.addOption(showReportOption);
  parser.addOption(outputOption);
  parser.process(app);
  std::optional<qm::desktop::SettingsWindow::Tab> settingsTab;
  if (parser.isSet(settingsOption)) {
    settingsTab = qm::desktop::SettingsWindow::tabNamed(parser.value(settingsOption));
    if (!settingsTab) {
      std::fprintf(
          stderr,
          "Unknown settings tab \"%s\": use general, appearance, ai, templates, mail, export, "
          "pipeline, mcp, pairing or privacy.\n",
          qPrintable(parser.value(settingsOption)));
      return 2;
    }
  }

  using namespace qm;
  using namespace qm::desktop;

  static constexpr std::array<const char*, 6> kModes{"dashboard",     "contacts", "companies",
                                                     "opportunities", "drafts",   "reports"};
  std::optional<MainWindow::Mode> mode;
  if (parser.isSet(modeOption)) {
    const QString name = parser.value(modeOption).toLower();
    const auto found =
        std::find_if(kModes.begin(), kModes.end(), [&](const char* m) { return name == m; });
    if (found == kModes.end()) {
      std::fprintf(stderr,
                   "Unknown mode \"%s\": use dashboard, contacts, companies, "
                   "opportunities, drafts or reports.\n",
                   qPrintable(name));
      return 2;
    }
    mode = static_cast<MainWindow::Mode>(found - kModes.begin());
  }

  const AppPaths paths = AppPaths::fromEnvironment();
  {
    UserDefaults defaults(paths.defaultsFile());
    AppSettings settings(defaults);
    applyAppearance(app, settings.appearance(), settings.density());
    // Before any window exists: every text is translated when it is made.
    applyLanguage(app, settings.appLanguage());
  }

  if (parser.isSet(showReportOption))
    return writeReport(paths, parser.value(showReportOption), parser.value(outputOption));

  CompanionLink link(qs(paths.controlSocket().string()), companionProgram());
  QString error;
  if (!link.ensureRunning(std::chrono::seconds(15), &error)) return fail(error);
  auto store = Store::open(paths.storeFile());
  if (!store) return fail(qs("Cannot open the store: " + store.error().message));
  // The window reads a list at a time: a mapped store file and a large page
  // cache would count towards its resident memory for no gain.
  if (auto unmapped = (*store)->readWithLittleMemory(); !unmapped)
    std::fprintf(stderr, "The store stays memory-mapped: %s\n", unmapped.error().message.c_str());

  // The event and mode to open on are known before the window is made, so
  // that it reads only the list it opens on.
  MainWindow::Opening opening;
  opening.mode = mode;
  std::optional<Uuid> eventID;
  if (parser.isSet(eventOption)) {
    eventID = eventNamed(**store, parser.value(eventOption));
    if (!eventID) {
      std::fprintf(stderr, "No event is called \"%s\".\n", qPrintable(parser.value(eventOption)));
      return 2;
    }
    opening.event = eventID;
  }
  std::optional<Uuid> revealedID;
  if (parser.isSet(contactOption)) {
    revealedID = contactNamed(**store, parser.value(contactOption), eventID);
    if (!revealedID) {
      std::fprintf(stderr, "No contact is called \"%s\".\n",
                   qPrintable(parser.value(contactOption)));
      return 2;
    }
    // Its own event when none was named; then the contacts list with it selected.
    if (!eventID) {
      auto contact = (*store)->find<Contact>(*revealedID);
      if (contact && *contact && (*contact)->eventID) opening.event = (*contact)->eventID;
    }
    opening.mode = mode.value_or(MainWindow::Mode::contacts);
  }

  DesktopContext context{link, **store, paths};
  MainWindow window(context, opening);
  if (revealedID) window.contactsView()->reveal(*revealedID);
  if (parser.isSet(draftOption)) {
    const auto contactID = contactNamed(**store, parser.value(draftOption), eventID);
    std::optional<Uuid> draftID;
    if (auto drafts = (*store)->fetch<FollowUpDraft>(); drafts && contactID) {
      for (const FollowUpDraft& d : *drafts)
        if (d.contactID == contactID) {
          draftID = d.id;
          break;
        }
    }
    if (!draftID) {
      std::fprintf(stderr, "No draft to a contact called \"%s\".\n",
                   qPrintable(parser.value(draftOption)));
      return 2;
    }
    window.navigate(NavigateToDraft{*draftID});
  }
  if (parser.isSet(batchOption)) {
    window.setMode(MainWindow::Mode::drafts);
    window.draftsView()->generateBatch();
  }
  std::unique_ptr<CapturePreview> capturePreview;
  if (parser.isSet(captureOption)) {
    const auto contactID = contactNamed(**store, parser.value(captureOption), eventID);
    std::optional<Contact> contact;
    if (contactID) {
      if (auto found = (*store)->find<Contact>(*contactID); found && *found) contact = **found;
    }
    auto captures = (*store)->fetch<CaptureMedia>();
    std::optional<CaptureMedia> capture;
    if (captures)
      for (CaptureMedia& c : *captures)
        if (contactID && c.contactID == contactID) {
          capture = std::move(c);
          break;
        }
    if (!capture || !contact || !contact->eventID) {
      std::fprintf(stderr, "No capture of a contact called \"%s\".\n",
                   qPrintable(parser.value(captureOption)));
      return 2;
    }
    const auto file = captureImageURL(paths.documents, *contact->eventID, capture->imageFileName);
    capturePreview = std::make_unique<CapturePreview>(*capture, qs(file.string()), &window);
  }

  std::unique_ptr<FirstPaintWatcher> watcher;
  if (parser.isSet(reportOption)) {
    const bool quit = parser.isSet(quitOption);
    watcher = std::make_unique<FirstPaintWatcher>(window, [&, quit] {
      const auto elapsed = beforeMain + std::chrono::duration_cast<std::chrono::microseconds>(
                                            Clock::now() - started);
      std::printf("first-paint-ms %.1f\n", static_cast<double>(elapsed.count()) / 1000.0);
      std::fflush(stdout);
      if (quit) {
        std::printf("peak-rss-kib %ld\n", qm::desktop::peakResidentKiB());
        std::fflush(stdout);
        QApplication::exit(0);
      }
    });
    app.installEventFilter(watcher.get());
  }

  window.show();
  link.subscribe();
  if (capturePreview) capturePreview->show();
  if (parser.isSet(exportOption))
    QTimer::singleShot(0, &window, [&window] { window.exportContacts(); });
  if (parser.isSet(editOption)) {
    const bool opportunity = parser.value(editOption) == QLatin1String("opportunity");
    QTimer::singleShot(0, &window, [&window, opportunity] {
      if (opportunity)
        window.detailView()->newOpportunity();
      else
        window.detailView()->editContact();
    });
  }
  if (parser.isSet(pairingOption)) {
    window.pairingWindow()->show();
    window.pairingWindow()->raise();
  }
  if (settingsTab) {
    window.settingsWindow()->showTab(*settingsTab);
    window.settingsWindow()->show();
    window.settingsWindow()->raise();
  }
  if (parser.isSet(searchOption)) {
    const QString text = parser.value(searchOption);
    // Once the window is up, so the popup places itself over it.
    QTimer::singleShot(0, &window, [&window, text] {
      window.searchPopup()->popUp();
      if (auto* field = window.searchPopup()->findChild<QLineEdit*>()) {
        field->setText(text);
        field->setCursorPosition(static_cast<int>(text.size()));
      }
    });
  }
  return app.exec();
}
