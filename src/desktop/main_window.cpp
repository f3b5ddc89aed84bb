#include "desktop/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <utility>
#include <variant>

#include "desktop/about_dialog.h"
#include "desktop/companies_view.h"
#include "desktop/companion_link.h"
#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/dashboard_view.h"
#include "desktop/detail/contact_detail_view.h"
#include "desktop/drafts_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/export_sheet.h"
#include "desktop/import_sheet.h"
#include "desktop/item_roles.h"
#include "desktop/language.h"
#include "desktop/pairing_window.h"
#include "desktop/phone_state_text.h"
#include "desktop/private_file.h"
#include "desktop/qt_text.h"
#include "desktop/record_table_view.h"
#include "desktop/reports_view.h"
#include "desktop/search_popup.h"
#include "desktop/settings_window.h"
#include "desktop/shortcuts_dialog.h"
#include "desktop/show_report.h"
#include "desktop/tray_icon.h"
#include "desktop/update_checker.h"
#include "desktop/welcome_view.h"
#include "desktop/window_memory.h"
#include "settings/app_settings.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

// typename, not class: lupdate takes "class... F" for a class F and files
// the window's texts under it.
template <typename... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <typename... F>
Overloaded(F...) -> Overloaded<F...>;

/// The window's language as the settings choose it now.
AppLanguage chosenLanguage(const AppPaths& paths) {
  UserDefaults defaults(paths.defaultsFile());
  return AppSettings(defaults).appLanguage();
}

}  // namespace

MainWindow::MainWindow(DesktopContext& context, const Opening& opening)
    : context_(context), openedLanguage_(chosenLanguage(context.paths)) {
  setWindowTitle(QStringLiteral("Quillmere"));
  resize(1280, 800);

  QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
  exportAction_ = fileMenu->addAction(tr("Export Contacts…"), this, &MainWindow::exportContacts);
  exportAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  exportAction_->setEnabled(false);  // until an event is chosen
  reportAction_ = fileMenu->addAction(tr("Export Report…"), this, &MainWindow::exportReport);
  reportAction_->setEnabled(false);  // until an event is chosen
  fileMenu->addSeparator();
  // Quitting ends the window; the companion keeps running for the phone.
  quitAction_ = fileMenu->addAction(tr("&Quit"), this, [this] {
    close();
    QCoreApplication::quit();
  });
  quitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quitAction_->setMenuRole(QAction::QuitRole);

  // Undo reverses the last edit the companion saved by sending back what it
  // replaced; deleting asks first instead, since nothing brings it back.
  QMenu* editMenu = menuBar()->addMenu(tr("&Edit"));
  undoAction_ = editMenu->addAction(tr("Undo"), this, &MainWindow::undoLastEdit);
  undoAction_->setShortcut(QKeySequence::Undo);
  undoAction_->setEnabled(false);

  auto* toolbar = addToolBar(tr("Main"));
  toolbar->setObjectName(QStringLiteral("main-toolbar"));
  toolbar->setMovable(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QAction* sync = toolbar->addAction(tr("Sync Now"), this, &MainWindow::syncNow);
  sync->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  sync->setToolTip(tr("Ask the phone for everything new (Ctrl+R)"));
  QAction* importAction = toolbar->addAction(tr("Import Events…"));
  importAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  QAction* pairAction = toolbar->addAction(tr("Pairing…"));
  pairAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
  QAction* searchAction = toolbar->addAction(tr("Search…"));
  searchAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
  searchAction->setToolTip(tr("Search everything (Ctrl+K)"));
  QAction* settingsAction = toolbar->addAction(tr("Settings…"));
  settingsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
  settingsAction->setToolTip(tr("Settings (Ctrl+,)"));
  auto* spacer = new QWidget(toolbar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  toolbar->addWidget(spacer);
  error_ = new QLabel(toolbar);
  error_->setStyleSheet(QStringLiteral("color: #c62828; padding-right: 12px;"));
  error_->setAccessibleName(tr("Last error"));
  error_->hide();
  toolbar->addWidget(error_);
  status_ = new QLabel(toolbar);
  status_->setAccessibleName(tr("Pairing and sync state"));
  status_->setContentsMargins(0, 0, 8, 0);
  toolbar->addWidget(status_);

  sidebar_ = new EventSidebar(context_, this);
  dashboard_ = new DashboardView(context_, this);
  contacts_ = new ContactsView(context_, this);
  companies_ = new CompaniesView(context_, this);
  opportunities_ = new OpportunitiesView(context_, this);
  drafts_ = new DraftsView(context_, this);
  reports_ = new ReportsView(context_, this);
  detail_ = new ContactDetailView(context_, this);
  search_ = new SearchPopup(context_, this);
  import_ = new ImportSheet(context_, this);
  export_ = new ExportSheet(context_, this);
  pairing_ = new PairingWindow(context_, this);
  settings_ = new SettingsWindow(context_, this);
  if (TrayIcon::isAvailable()) tray_ = new TrayIcon(context_, this);
  const auto makePage = [](QWidget* widget, auto setEvent, auto reload) {
    Page p;
    p.widget = widget;
    p.setEvent = setEvent;
    p.reload = reload;
    return p;
  };
  pageStates_ = {
      makePage(
          dashboard_, [this](const auto& e) { dashboard_->setEvent(e); },
          [this] { dashboard_->reload(); }),
      makePage(
          contacts_, [this](const auto& e) { contacts_->setEvent(e); },
          [this] { contacts_->reload(); }),
      makePage(
          companies_, [this](const auto& e) { companies_->setEvent(e); },
          [this] { companies_->reload(); }),
      makePage(
          opportunities_, [this](const auto& e) { opportunities_->setEvent(e); },
          [this] { opportunities_->reload(); }),
      makePage(
          drafts_, [this](const auto& e) { drafts_->setEvent(e); }, [this] { drafts_->reload(); }),
      makePage(
          reports_, [this](const auto& e) { reports_->setEvent(e); },
          [this] { reports_->reload(); }),
  };

  auto* center = new QWidget(this);
  auto* centerLayout = new QVBoxLayout(center);
  centerLayout->setContentsMargins(0, 0, 0, 0);
  modes_ = new QTabBar(center);
  modes_->setAccessibleName(tr("List mode"));
  modes_->setDrawBase(false);
  for (const QString& name : {tr("Dashboard"), tr("Contacts"), tr("Companies"), tr("Opportunities"),
                              tr("Drafts"), tr("Reports")})
    modes_->addTab(name);
  centerLayout->addWidget(modes_);
  pages_ = new QStackedWidget(center);
  for (QWidget* page : std::initializer_list<QWidget*>{dashboard_, contacts_, companies_,
                                                       opportunities_, drafts_, reports_})
    pages_->addWidget(page);
  chooseEvent_ = new QWidget(pages_);
  noEventHeading_ = new QLabel(tr("No events yet"), chooseEvent_);
  QFont headingFont = noEventHeading_->font();
  headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
  headingFont.setBold(true);
  noEventHeading_->setFont(headingFont);
  noEventHeading_->setAlignment(Qt::AlignCenter);
  noEventText_ = new QLabel(chooseEvent_);
  noEventText_->setAlignment(Qt::AlignCenter);
  noEventText_->setWordWrap(true);
  auto* chooseLayout = new QVBoxLayout(chooseEvent_);
  chooseLayout->setContentsMargins(24, 24, 24, 24);
  chooseLayout->addStretch(1);
  chooseLayout->addWidget(noEventHeading_);
  chooseLayout->addWidget(noEventText_);
  chooseLayout->addStretch(1);
  pages_->addWidget(chooseEvent_);
  welcome_ = new WelcomeView(context_, pages_);
  pages_->addWidget(welcome_);
  centerLayout->addWidget(pages_, 1);
  // The list modes are actions of the View menu, so their keys are listed
  // with the others in Help ▸ Keyboard Shortcuts.
  QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
  for (int i = 0; i < modes_->count(); ++i) {
    QAction* mode =
        viewMenu->addAction(modes_->tabText(i), this, [this, i] { modes_->setCurrentIndex(i); });
    mode->setShortcut(QKeySequence(Qt::CTRL | (Qt::Key_1 + i)));
  }

  QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
  shortcutsAction_ = helpMenu->addAction(tr("&Keyboard Shortcuts"), this, [this] {
    if (!shortcuts_) shortcuts_ = new ShortcutsDialog(this);
    shortcuts_->show();
    shortcuts_->raise();
  });
  shortcutsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Slash));
  aboutAction_ = helpMenu->addAction(tr("&About Quillmere"), this, [this] {
    if (!about_) about_ = new AboutDialog(context_.paths, this);
    about_->show();
    about_->raise();
  });
  aboutAction_->setMenuRole(QAction::AboutRole);
  updates_ = new UpdateChecker(context_.link.companionProgram(), context_.paths, this);
  updatesAction_ = helpMenu->addAction(tr("Check for &Updates…"), this, [this] {
    updatesAsked_ = true;
    updates_->check();
  });
  connect(updates_, &UpdateChecker::finished, this, &MainWindow::showUpdateOutcome);
  {
    UserDefaults defaults(context_.paths.defaultsFile());
    updates_->checkIfDue(AppSettings(defaults).checkForUpdatesAtStart());
  }

  // No side can be dragged away or squeezed below what it is laid out for:
  // the window is that much wide at least.
  auto* splitter = splitter_ = new QSplitter(this);
  splitter->addWidget(sidebar_);
  splitter->addWidget(center);
  splitter->addWidget(detail_);
  splitter->setChildrenCollapsible(false);
  sidebar_->setMinimumWidth(150);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 4);
  splitter->setStretchFactor(2, 2);
  splitter->setSizes({200, 740, 340});
  setCentralWidget(splitter);

  connect(modes_, &QTabBar::currentChanged, this, [this] { showCurrentPage(); });
  connect(sidebar_, &EventSidebar::eventChosen, this, &MainWindow::eventChosen);
  connect(dashboard_, &DashboardView::contactChosen, this, [this](const std::optional<Uuid>& id) {
    if (!id) return;
    setMode(Mode::contacts);
    contacts_->reveal(*id);
  });
  connect(dashboard_, &DashboardView::eventChosen, sidebar_, &EventSidebar::choose);
  connect(dashboard_, &DashboardView::contactsChosen, this,
          [this](const std::vector<Uuid>& ids, const QString& text) {
            setMode(Mode::contacts);
            contacts_->showContactSubset(ids, text);
          });
  connect(dashboard_, &DashboardView::eventContactsChosen, this,
          [this](const Uuid& eventID) { openEvent(eventID, Mode::contacts); });
  connect(dashboard_, &DashboardView::actionChosen, this,
          [this](const std::string& kind, const QString& text) {
            if (kind == "reviewDrafts") {
              setMode(Mode::drafts);
              drafts_->showStatus(QStringLiteral("approved"));
            } else {
              setMode(Mode::contacts);
              contacts_->showActionSubset(kind, text);
            }
          });
  connect(contacts_, &ContactsView::exportRequested, this, &MainWindow::exportContacts);
  connect(detail_, &ContactDetailView::draftChosen, this,
          [this](const Uuid& id) { navigate(NavigateToDraft{id}); });
  const auto offerUndo = [this](const QString& description, const QJsonObject& undo) {
    lastUndo_ = undo;
    undoAction_->setText(tr("Undo %1").arg(description));
    undoAction_->setEnabled(true);
  };
  connect(detail_, &ContactDetailView::undoableEdit, this, offerUndo);
  connect(contacts_, &ContactsView::undoableEdit, this, offerUndo);

  connect(searchAction, &QAction::triggered, search_, &SearchPopup::popUp);
  searchAction_ = searchAction;
  // Text fields take Ctrl+K as "delete to the end of the line" on most Linux
  // desktops (the key then reaches them as a key press instead of the
  // shortcut); in this window it opens the search wherever the focus is.
  qApp->installEventFilter(this);
  connect(search_, &SearchPopup::navigate, this, &MainWindow::navigate);
  connect(importAction, &QAction::triggered, import_, &ImportSheet::start);
  connect(pairAction, &QAction::triggered, this, &MainWindow::showPairing);
  connect(welcome_, &WelcomeView::pairRequested, this, &MainWindow::showPairing);
  connect(welcome_, &WelcomeView::importRequested, import_, &ImportSheet::start);
  connect(welcome_, &WelcomeView::demoAdded, this,
          [this](const Uuid& eventID) { openEvent(eventID, Mode::dashboard); });
  connect(import_, &ImportSheet::openEvent, this,
          [this](const Uuid& eventID) { openEvent(eventID, Mode::contacts); });
  connect(settingsAction, &QAction::triggered, settings_, [this] {
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
  });

  CompanionLink& link = context_.link;
  connect(&link, &CompanionLink::recordsChanged, this, &MainWindow::reloadRecords);
  connect(&link, &CompanionLink::pairingChanged, this, &MainWindow::updatePairing);
  connect(&link, &CompanionLink::syncChanged, this, &MainWindow::updateSync);
  connect(&link, &CompanionLink::draftsChanged, this, [this](const QJsonObject& event) {
    draftsState_ = event;
    showStatus();
  });
  connect(&link, &CompanionLink::feedConnectedChanged, this, [this](bool connected) {
    if (!connected) {
      showError(tr("Lost the connection to the companion; reconnecting…"));
      return;
    }
    showError({});
    // A new language restarts the companion, so its feed comes back; the
    // window was made in the language it opened with and says so.
    if (chosenLanguage(context_.paths) != openedLanguage_)
      showError(tr("The window shows the new language when it is reopened."));
    // The feed reports changes from now on; the state so far comes from status.
    context_.link.request({{"command", "status"}}, [this](const QJsonObject& s, const QString&) {
      if (s.isEmpty()) return;
      updatePairing(pairingFromStatus(s));
      updateSync({{"isSyncing", s.value("isSyncing")},
                  {"lastSyncAt", s.value("lastSyncAt")},
                  {"lastSyncError", s.value("lastSyncError")},
                  {"queuedDeltas", s.value("queuedDeltas")}});
    });
  });

  if (auto stamp = context_.store.changeStamp("Contact")) readStamp_ = *stamp;
  sidebar_->reload();
  checkEmpty();
  // It reopens on what it showed when it was closed, unless told where to open.
  const WindowMemory memory = recallWindow(context_.paths);
  if (!memory.geometry.isEmpty()) restoreGeometry(memory.geometry);
  if (!memory.paneWidths.isEmpty()) splitter_->restoreState(memory.paneWidths);
  if (const auto event = opening.event ? opening.event : memory.event) sidebar_->choose(event);
  if (opening.mode)
    setMode(*opening.mode);
  else if (memory.mode > 0 && memory.mode < modes_->count())
    modes_->setCurrentIndex(memory.mode);
  // The steps above each chose a page; with 50,000 contacts in an event each
  // page read costs a large part of a second, so only the last one is read.
  opened_ = true;
  showCurrentPage();
  showStatus();
}

void MainWindow::showUpdateOutcome(const UpdateOutcome& outcome) {
  const bool asked = std::exchange(updatesAsked_, false);
  if (!asked && outcome.state != UpdateOutcome::State::available) return;
  auto* box =
      new QMessageBox(outcome.state == UpdateOutcome::State::failed ? QMessageBox::Warning
                                                                    : QMessageBox::Information,
                      tr("Check for Updates"), updateOutcomeText(outcome), QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("updateOutcome"));
  box->setTextInteractionFlags(Qt::TextSelectableByMouse);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  rememberWindow(context_.paths, {sidebar_->currentEvent(), modes_->currentIndex(),
                                  splitter_->saveState(), saveGeometry()});
  QMainWindow::closeEvent(event);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_K) && widget &&
        widget->window() == this) {
      searchAction_->trigger();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setMode(Mode mode) {
  modes_->setCurrentIndex(static_cast<int>(mode));
}

MainWindow::Mode MainWindow::mode() const {
  return static_cast<Mode>(modes_->currentIndex());
}

void MainWindow::eventChosen() {
  showCurrentPage();
}

QWidget* MainWindow::shownPage() const {
  return pages_->currentWidget();
}

void MainWindow::checkEmpty() {
  // A store that cannot be read counts as not empty: the lists say why.
  auto events = context_.store.count<Event>();
  auto contacts = context_.store.count<Contact>();
  empty_ = events.ok() && contacts.ok() && *events == 0 && *contacts == 0;
}

void MainWindow::showCurrentPage() {
  if (!opened_) return;
  const std::optional<Uuid> event = sidebar_->currentEvent();
  exportAction_->setEnabled(event.has_value());
  reportAction_->setEnabled(event.has_value());
  if (empty_ && mode() == Mode::dashboard) {
    pages_->setCurrentWidget(welcome_);
    followContacts();
    return;
  }
  if (!event && mode() != Mode::dashboard) {
    // The sidebar lists "All Events" and then the events, if any.
    const bool noEvents = sidebar_->count() <= 1;
    noEventHeading_->setVisible(noEvents);
    noEventText_->setText(noEvents ? tr("Pair your phone and import its events, or try the demo "
                                        "data on the Dashboard.")
                                   : tr("Choose an event in the sidebar to see its lists."));
    pages_->setCurrentWidget(chooseEvent_);
    followContacts();
    return;
  }
  // Only the shown list reads its records; the others catch up when shown.
  Page& page = pageStates_[static_cast<std::size_t>(modes_->currentIndex())];
  if (!page.loaded || page.event != event) {
    page.setEvent(event);
    page.event = event;
    page.loaded = true;
    page.stale = false;
  } else if (page.stale) {
    page.reload();
    page.stale = false;
  }
  pages_->setCurrentWidget(page.widget);
  followContacts();
  if (mode() == Mode::contacts) contacts_->searchField()->setFocus();
}

void MainWindow::followContacts() {
  // The pane shows the current contact of the list shown; where no list of
  // contacts is shown it has nothing to show and steps aside.
  QItemSelectionModel* selection = nullptr;
  int role = kContactRole;
  if (pages_->currentWidget() != chooseEvent_ && pages_->currentWidget() != welcome_) {
    switch (mode()) {
      case Mode::contacts:
        selection = contacts_->table()->selectionModel();
        role = ContactListModel::kIDRole;
        break;
      case Mode::companies:
        selection = companies_->tree()->selectionModel();
        break;
      case Mode::opportunities:
        selection = opportunities_->tree()->selectionModel();
        break;
      case Mode::drafts:
        selection = drafts_->tree()->selectionModel();
        break;
      case Mode::dashboard:
      case Mode::reports:
        break;
    }
  }
  detail_->follow(selection, role);
  detail_->setVisible(selection != nullptr);
}

void MainWindow::reloadRecords(const QStringList& tables) {
  static const QStringList kShown{"Event",
                                  "Contact",
                                  "ContactNote",
                                  "CaptureMedia",
                                  "FollowUpDraft",
                                  "Opportunity",
                                  "OpportunityStakeholder",
                                  "SavedReport"};
  if (!tables.isEmpty() && std::none_of(tables.begin(), tables.end(),
                                        [](const QString& t) { return kShown.contains(t); }))
    return;  // MCP clients and their access log: nothing here shows them
  // No tables: the feed has just (re)connected and changes made meanwhile
  // were not reported. Nothing to read again when no one wrote the store
  // since the window last read it, as at every start.
  auto stamp = context_.store.changeStamp("Contact");
  if (tables.isEmpty() && stamp && readStamp_ && *stamp == *readStamp_) return;
  readStamp_ = stamp ? std::optional(*stamp) : std::nullopt;
  for (Page& page : pageStates_) page.stale = page.loaded;
  checkEmpty();
  sidebar_->reload();  // emits eventChosen when the chosen event went away
  showCurrentPage();
  detail_->reload();
}

void MainWindow::navigate(const NavigationIntent& intent) {
  std::visit(Overloaded{
                 [&](const NavigateToContact& to) {
                   sidebar_->choose(to.eventID);
                   setMode(Mode::contacts);
                   contacts_->reveal(to.contactID);
                 },
                 [&](const NavigateToCompany& to) {
                   sidebar_->choose(to.eventID);
                   setMode(Mode::companies);
                   companies_->reveal(qs(to.companyName));
                 },
                 [&](const NavigateToOpportunity& to) {
                   sidebar_->choose(to.eventID);
                   setMode(Mode::opportunities);
                   opportunities_->reveal(to.opportunityID);
                 },
                 [&](const NavigateToDraft& to) {
                   auto draft = context_.store.find<FollowUpDraft>(to.draftID);
                   if (!draft || !*draft || !(*draft)->contactID) return;
                   auto contact = context_.store.find<Contact>(*(*draft)->contactID);
                   if (!contact || !*contact || !(*contact)->eventID) return;
                   sidebar_->choose((*contact)->eventID);
                   setMode(Mode::drafts);
                   drafts_->reveal(to.draftID);
                 },
                 [&](const NavigateToEvent& to) {
                   sidebar_->choose(to.eventID);
                   setMode(Mode::dashboard);
                 },
             },
             intent);
}

void MainWindow::openEvent(const Uuid& eventID, Mode mode) {
  // The change feed may not have told of the new records yet.
  reloadRecords();
  sidebar_->choose(eventID);
  setMode(mode);
}

void MainWindow::showPairing() {
  pairing_->show();
  pairing_->raise();
  pairing_->activateWindow();
}

void MainWindow::exportContacts() {
  const std::optional<Uuid> event = sidebar_->currentEvent();
  if (!event) return;
  std::vector<Uuid> shown;
  std::vector<Uuid> selected;
  // The list's rows belong to this event only once it has shown them.
  if (pageStates_[static_cast<std::size_t>(Mode::contacts)].event == event) {
    const ContactListModel& rows = *contacts_->model();
    for (int row = 0; row < rows.rowCount(); ++row) shown.push_back(rows.contactAt(row)->id);
    selected.assign(contacts_->state().selection.begin(), contacts_->state().selection.end());
  }
  export_->start(*event, shown, selected);
}

void MainWindow::exportReport() {
  const std::optional<Uuid> eventID = sidebar_->currentEvent();
  if (!eventID) return;
  auto event = context_.store.find<Event>(*eventID);
  if (!event || !*event) return;
  const QString suggested =
      QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
          .filePath(ShowReport::fileName(qs((*event)->name)));
  const QString file = QFileDialog::getSaveFileName(this, tr("Export Report"), suggested,
                                                    tr("PDF documents (*.pdf)"));
  if (file.isEmpty()) return;
  UserDefaults defaults(context_.paths.defaultsFile());
  const Status written =
      ShowReport::write(context_.store, *eventID, PipelineManager(defaults).stages(),
                        std::filesystem::path(QFile::encodeName(file).toStdString()));
  if (!written) {
    showError(tr("Cannot write the report: %1").arg(qs(written.error().message)));
    return;
  }
  showError({});
  externalOpener()(file, [this](const QString& error) {
    if (!error.isEmpty()) showError(error);
  });
}

void MainWindow::syncNow() {
  context_.link.request({{"command", "sync.now"}},
                        [this](const QJsonObject&, const QString& error) { showError(error); });
}

void MainWindow::updatePairing(const QJsonObject& event) {
  pairingState_ = event;
  welcome_->setPaired(event.value("bonded").toBool());
  showStatus();
}

void MainWindow::updateSync(const QJsonObject& event) {
  syncState_ = event;
  // The companion's error, in the window's language when the catalogue has it.
  const QString error = event.value("lastSyncError").toString();
  if (!error.isEmpty()) showError(coreText(utf8(error)));
  showStatus();
}

void MainWindow::showStatus() {
  QStringList parts;
  parts << (pairingState_.isEmpty() ? tr("Not connected") : phoneStateText(pairingState_));
  parts << (syncState_.value("isSyncing").toBool()
                ? tr("Syncing…")
                : lastSyncText(syncState_.value("lastSyncAt").toString()));
  if (const int queued = syncState_.value("queuedDeltas").toInt(); queued > 0)
    parts << tr("%Ln changes waiting for the phone", nullptr, queued);
  const int total = syncState_.value("totalImportCount").toInt();
  const int pending = syncState_.value("pendingImportCount").toInt();
  if (total > 0 && pending > 0)
    parts << tr("Importing %1 of %Ln events", nullptr, total)
                 .arg(QLocale().toString(total - pending + 1));
  if (draftsState_.value("generating").toBool()) {
    const QString name = draftsState_.value("currentContactName").toString();
    parts << tr("Writing drafts %1 of %2%3")
                 .arg(QLocale().toString(draftsState_.value("completed").toInt() +
                                         draftsState_.value("failed").toInt() + 1),
                      QLocale().toString(draftsState_.value("total").toInt()),
                      name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name));
  }
  status_->setText(parts.join(QStringLiteral(" · ")));
}

void MainWindow::showError(const QString& error) {
  error_->setText(error);
  error_->setToolTip(error);
  error_->setVisible(!error.isEmpty());
}

void MainWindow::undoLastEdit() {
  if (lastUndo_.isEmpty()) return;
  const QJsonObject undo = std::exchange(lastUndo_, {});
  undoAction_->setText(tr("Undo"));
  undoAction_->setEnabled(false);
  QPointer<MainWindow> self(this);
  context_.link.request(undo, [self](const QJsonObject&, const QString& error) {
    if (self && !error.isEmpty()) self->showError(tr("Cannot undo: %1").arg(error));
  });
}

}  // namespace qm::desktop
