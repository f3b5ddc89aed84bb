#pragma once

#include <QJsonObject>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"
#include "search/search_result.h"
#include "settings/settings_enums.h"
#include "store/store.h"

class QAction;
class QLabel;
class QStackedWidget;
class QTabBar;
class QSplitter;
class QCloseEvent;

namespace qm::desktop {

class CompaniesView;
class ContactDetailView;
class ContactsView;
class DashboardView;
class DraftsView;
class EventSidebar;
class ExportSheet;
class ImportSheet;
class OpportunitiesView;
class PairingWindow;
class ReportsView;
class SearchPopup;
class SettingsWindow;
class TrayIcon;
class WelcomeView;
class AboutDialog;
class ShortcutsDialog;
class UpdateChecker;
struct UpdateOutcome;

/// The main window: the event sidebar, the list modes (Dashboard, Contacts,
/// Companies, Opportunities, Drafts, Reports), the contact detail pane and a toolbar
/// with Sync Now, import, pairing, search and the pairing and sync state.
/// Every view reloads by itself when the companion reports changed records.
class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  enum class Mode { dashboard, contacts, companies, opportunities, drafts, reports };

  /// Where the window opens instead of what it showed when it was closed:
  /// the event and the list mode, each when set.
  struct Opening {
    std::optional<Uuid> event;
    std::optional<Mode> mode;
  };

  /// Opens on `opening` or else on what it showed when it was closed; only
  /// the list it opens on reads its records.
  explicit MainWindow(DesktopContext& context, const Opening& opening = Opening());
  ~MainWindow() override;

  void setMode(Mode mode);
  Mode mode() const;
  /// Goes where a search hit points: its event, list mode and record.
  void navigate(const NavigationIntent& intent);
  /// Reads the shown views again when `tables` hold records they show; with
  /// no tables, when anything was written to the store since the window last
  /// read it. The hidden list modes read again when they are next shown.
  void reloadRecords(const QStringList& tables = {});
  /// Opens the export sheet on the chosen event, with the contacts list's rows.
  void exportContacts();
  /// File ▸ Export Report…: the chosen event's post-show report as a PDF,
  /// opened once written.
  void exportReport();

  EventSidebar* sidebar() const { return sidebar_; }
  ContactsView* contactsView() const { return contacts_; }
  CompaniesView* companiesView() const { return companies_; }
  DashboardView* dashboardView() const { return dashboard_; }
  OpportunitiesView* opportunitiesView() const { return opportunities_; }
  DraftsView* draftsView() const { return drafts_; }
  ReportsView* reportsView() const { return reports_; }
  /// The first step, shown on the Dashboard while the store is empty.
  WelcomeView* welcomeView() const { return welcome_; }
  /// What a list mode shows without a chosen event: how to choose one, or
  /// that there are none yet and how to get some.
  QLabel* noEventHeading() const { return noEventHeading_; }
  QLabel* noEventText() const { return noEventText_; }
  /// The list mode, first step or no-event text the main area shows.
  QWidget* shownPage() const;
  ContactDetailView* detailView() const { return detail_; }
  SearchPopup* searchPopup() const { return search_; }
  ImportSheet* importSheet() const { return import_; }
  ExportSheet* exportSheet() const { return export_; }
  PairingWindow* pairingWindow() const { return pairing_; }
  SettingsWindow* settingsWindow() const { return settings_; }
  /// The system tray's icon; null where the desktop has no tray.
  TrayIcon* trayIcon() const { return tray_; }
  QLabel* statusLabel() const { return status_; }
  QLabel* errorLabel() const { return error_; }
  QAction* undoAction() const { return undoAction_; }
  QAction* quitAction() const { return quitAction_; }
  QAction* aboutAction() const { return aboutAction_; }
  QAction* checkForUpdatesAction() const { return updatesAction_; }
  UpdateChecker* updateChecker() const { return updates_; }
  QAction* shortcutsAction() const { return shortcutsAction_; }
  AboutDialog* aboutDialog() const { return about_; }
  ShortcutsDialog* shortcutsDialog() const { return shortcuts_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  /// Remembers what the window shows, for the next time it opens.
  void closeEvent(QCloseEvent* event) override;

 private:
  /// Says what a check for updates found: always when asked from the menu,
  /// only a newer version for the daily check at start.
  void showUpdateOutcome(const UpdateOutcome& outcome);
  /// A list mode with what it shows: its event, and whether records changed
  /// since it last read them.
  struct Page {
    QWidget* widget = nullptr;
    std::function<void(const std::optional<Uuid>&)> setEvent;
    std::function<void()> reload;
    std::optional<Uuid> event;
    bool loaded = false;
    bool stale = false;
  };

  void eventChosen();
  void showCurrentPage();
  /// Reads whether the store holds no events and no contacts.
  void checkEmpty();
  void showPairing();
  /// Reads the records again and opens `eventID` in `mode`.
  void openEvent(const Uuid& eventID, Mode mode);
  /// Points the detail pane at the shown list's current contact.
  void followContacts();
  void syncNow();
  void updatePairing(const QJsonObject& event);
  void updateSync(const QJsonObject& event);
  void showStatus();
  void showError(const QString& error);
  /// Sends the request that reverses the last saved edit.
  void undoLastEdit();

  DesktopContext& context_;
  EventSidebar* sidebar_ = nullptr;
  QTabBar* modes_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QWidget* chooseEvent_ = nullptr;
  QLabel* noEventHeading_ = nullptr;
  QLabel* noEventText_ = nullptr;
  WelcomeView* welcome_ = nullptr;
  /// No events and no contacts: the Dashboard shows the first step.
  bool empty_ = false;
  DashboardView* dashboard_ = nullptr;
  ContactsView* contacts_ = nullptr;
  CompaniesView* companies_ = nullptr;
  OpportunitiesView* opportunities_ = nullptr;
  DraftsView* drafts_ = nullptr;
  ReportsView* reports_ = nullptr;
  ContactDetailView* detail_ = nullptr;
  SearchPopup* search_ = nullptr;
  ImportSheet* import_ = nullptr;
  ExportSheet* export_ = nullptr;
  QAction* exportAction_ = nullptr;
  QAction* reportAction_ = nullptr;
  QAction* undoAction_ = nullptr;
  QSplitter* splitter_ = nullptr;
  /// The language the window's texts were made in.
  AppLanguage openedLanguage_;
  QAction* quitAction_ = nullptr;
  QAction* aboutAction_ = nullptr;
  QAction* updatesAction_ = nullptr;
  UpdateChecker* updates_ = nullptr;
  /// Whether the running check was asked for from the menu (its outcome is
  /// then always shown) rather than the daily one at start (shown only when
  /// an update is available).
  bool updatesAsked_ = false;
  QAction* shortcutsAction_ = nullptr;
  AboutDialog* about_ = nullptr;
  ShortcutsDialog* shortcuts_ = nullptr;
  QJsonObject lastUndo_;
  PairingWindow* pairing_ = nullptr;
  SettingsWindow* settings_ = nullptr;
  TrayIcon* tray_ = nullptr;
  QAction* searchAction_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* error_ = nullptr;
  std::array<Page, 6> pageStates_;
  /// False while the constructor chooses the event and mode to open on: the
  /// pages read their records once it has, not at each step.
  bool opened_ = false;
  /// The store as it was when the window last read every record it shows.
  std::optional<Store::ChangeStamp> readStamp_;
  QJsonObject pairingState_;
  QJsonObject syncState_;
  QJsonObject draftsState_;
};

}  // namespace qm::desktop
