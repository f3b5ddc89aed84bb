// The detail pane in the window over a running companion: it shows the
// current contact of the list shown and nothing else, whatever the user did
// in between; its links open the mail program, the dialer and the browser;
// the keyboard reaches it and its actions; every text it shows reads at AA
// contrast in the light and dark appearances; and every view fits a window
// of 1024×640 in English and in French.

#include <QAbstractButton>
#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>

#include "desktop/appearance.h"
#include "desktop/companies_view.h"
#include "desktop/contact_edit_dialog.h"
#include "desktop/contact_list_model.h"
#include "desktop/contrast.h"
#include "desktop/detail/contact_detail_view.h"
#include "desktop/detail/note_dialog.h"
#include "desktop/drafts_view.h"
#include "desktop/follow_up_action.h"
#include "desktop/item_roles.h"
#include "desktop/language.h"
#include "desktop/text_tone.h"
#include "desktop_fixture.h"
#include "store/contact_note.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/relationships.h"

namespace qm::test {
namespace {

using desktop::ContactDetailView;
using desktop::MainWindow;
using desktop::qs;

/// Runs `act` on the next modal dialog of type D once it is shown.
template <class D>
void whenShown(std::function<void(D&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
  });
}

/// The value label of the pane's row called `name` ("E-mail", "Met at").
QLabel* rowValue(const ContactDetailView& pane, const QString& name) {
  for (QLabel* label : pane.findChildren<QLabel*>())
    if (label->accessibleName() == name && label->isVisibleTo(&pane) && label->buddy() == nullptr)
      return label;
  return nullptr;
}

QPushButton* paneButton(const ContactDetailView& pane, const QString& objectName) {
  return pane.findChild<QPushButton*>(objectName);
}

class DetailPaneTest : public DesktopFixture {
 protected:
  Contact stored(const Uuid& id) { return **store_->find<Contact>(id); }
  void edit(const Uuid& id, const std::function<void(Contact&)>& change) {
    Contact c = stored(id);
    change(c);
    ASSERT_TRUE(store_->update(c).ok());
  }

  /// The contact of the contacts list's current row.
  std::optional<Uuid> listCurrent(MainWindow& window) {
    desktop::ContactsView& contacts = *window.contactsView();
    const ListContact* c = contacts.model()->contactAt(contacts.table()->currentIndex().row());
    return c ? std::optional<Uuid>(c->id) : std::nullopt;
  }
  /// Whether the pane shows `id` (or, for none, "No contact selected").
  bool paneShows(MainWindow& window, const std::optional<Uuid>& id) {
    ContactDetailView& pane = *window.detailView();
    if (pane.contactID() != id) return false;
    if (!id) return pane.isEmptyState();
    return !pane.isEmptyState() && pane.shownName() == qs(stored(*id).fullName());
  }
  void clickRow(QAbstractItemView& view, const QModelIndex& index) {
    view.scrollTo(index);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(index).center());
  }
  void activate(MainWindow& window) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
};

TEST_F(DetailPaneTest, ThePaneShowsTheCurrentContactOfTheListShownAndNothingElse) {
  const auto ids = demoData(8);
  const Uuid eventID = *Uuid::parse(ids["eventID"].get<std::string>());
  for (const auto& id : ids["contactIDs"])
    edit(*Uuid::parse(id.get<std::string>()), [](Contact& c) { c.isTarget = false; });
  MainWindow window(context());
  window.resize(1280, 800);
  window.show();
  activate(window);
  window.sidebar()->choose(eventID);
  window.setMode(MainWindow::Mode::contacts);
  desktop::ContactsView& contacts = *window.contactsView();
  ContactDetailView& pane = *window.detailView();
  EXPECT_TRUE(paneShows(window, std::nullopt));

  // A click on a met contact's row shows it.
  int row = 0;
  while (contacts.model()->contactAt(row)->status != MeetingStatus::met) ++row;
  const Uuid chosen = contacts.model()->contactAt(row)->id;
  clickRow(*contacts.table(), contacts.model()->index(row, 0));
  EXPECT_TRUE(paneShows(window, chosen));

  // A draft to another contact shows that one; back in the contacts list,
  // the list's current contact again.
  const Uuid other = contacts.model()->contactAt(row == 0 ? 1 : 0)->id;
  ASSERT_TRUE(store_->insert(FollowUpDraft::create("Next steps", "Hello", other)).ok());
  window.setMode(MainWindow::Mode::drafts);
  QTreeWidget& drafts = *window.draftsView()->tree();
  ASSERT_EQ(drafts.topLevelItemCount(), 1);
  clickRow(drafts, drafts.model()->index(0, 0));
  EXPECT_TRUE(paneShows(window, other));
  window.setMode(MainWindow::Mode::contacts);
  EXPECT_TRUE(paneShows(window, chosen));

  // F2 edits the contact shown, from the list.
  QString edited;
  whenShown<desktop::ContactEditDialog>([&](desktop::ContactEditDialog& d) {
    edited = d.windowTitle();
    d.reject();
  });
  contacts.table()->setFocus();
  QTest::keyClick(contacts.table(), Qt::Key_F2);
  EXPECT_EQ(edited, "Edit " + qs(stored(chosen).fullName()));

  // A filter that hides the shown contact empties the pane; taking it off
  // brings the list's current contact back, and the pane with it.
  QToolButton* notMet = nullptr;
  for (auto* chip : contacts.findChildren<QToolButton*>())
    if (chip->text() == "Not Met") notMet = chip;
  ASSERT_NE(notMet, nullptr);
  notMet->click();
  EXPECT_EQ(listCurrent(window), std::nullopt);
  EXPECT_EQ(pane.contactID(), std::nullopt);
  EXPECT_TRUE(QTest::qWaitFor([&] { return paneShows(window, std::nullopt); }));
  // F2 with nothing shown edits nobody.
  bool opened = false;
  QTimer::singleShot(0, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      opened = true;
      dialog->close();
    }
  });
  QTest::keyClick(contacts.table(), Qt::Key_F2);
  QTest::qWait(20);
  EXPECT_FALSE(opened);
  notMet->click();
  EXPECT_TRUE(paneShows(window, chosen));

  // Marked as a target together with another contact: the pane's action
  // says what it does now.
  EXPECT_EQ(paneButton(pane, "toggleTarget")->text(), "Mark as Target");
  const int otherRow = contacts.model()->rowOf(other);
  contacts.table()->selectRow(contacts.model()->rowOf(chosen));
  contacts.table()->selectionModel()->select(
      contacts.model()->index(otherRow, 0),
      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  ASSERT_EQ(contacts.state().selection.size(), 2u);
  QPushButton* markTarget = nullptr;
  for (auto* button : contacts.findChildren<QPushButton*>())
    if (button->text() == "Mark as Target") markTarget = button;
  ASSERT_NE(markTarget, nullptr);
  markTarget->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return stored(chosen).isTarget; }, 5000));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return paneButton(pane, "toggleTarget")->text() == "Not a Target"; }, 5000));
  EXPECT_TRUE(paneShows(window, chosen));

  // In the companies, a company's row shows nobody and a person's row that person.
  window.setMode(MainWindow::Mode::companies);
  QTreeWidget& companies = *window.companiesView()->tree();
  QTreeWidgetItem* company = companies.topLevelItem(0);
  companies.setCurrentItem(company);
  EXPECT_TRUE(QTest::qWaitFor([&] { return paneShows(window, std::nullopt); }));
  company->setExpanded(true);
  companies.setCurrentItem(company->child(0));
  const auto person =
      desktop::uuidFromText(company->child(0)->data(0, desktop::kContactRole).toString());
  EXPECT_TRUE(paneShows(window, person));

  // The dashboard lists no contacts of its own: the pane steps aside.
  window.setMode(MainWindow::Mode::dashboard);
  EXPECT_FALSE(pane.isVisible());
  window.setMode(MainWindow::Mode::contacts);
  EXPECT_TRUE(pane.isVisible());
  EXPECT_TRUE(paneShows(window, chosen));
}

TEST_F(DetailPaneTest, LinksOpenTheirProgramsAndTheFieldsReadAsTheDeskExpects) {
  const auto ids = demoData(2);
  const Uuid id = *Uuid::parse(ids["contactIDs"][1].get<std::string>());
  edit(id, [](Contact& c) {
    c.email = "dana.lee@example.org";
    c.phone = "+33 (0)6 12-34 56 78";
    c.linkedinURL = "linkedin.com/in/dana-lee";
    c.status = MeetingStatus::notMet;
    c.metAt = parseISO8601("2026-03-06T10:30:00Z");
    // The name the companion credits the user's own phone with, and a teammate.
    c.alsoMetBy = {"iPhone", "Sam Rivera"};
  });
  MainWindow window(context());
  window.resize(1280, 800);
  window.show();
  ContactDetailView& pane = *window.detailView();
  std::vector<QUrl> opened;
  pane.setUrlOpener([&](const QUrl& url) { opened.push_back(url); });
  chooseContact(window, id);

  const auto click = [&](const QString& row) {
    QLabel* link = rowValue(pane, row);
    EXPECT_NE(link, nullptr) << row.toStdString();
    if (link) QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, link->height() / 2));
  };
  click("E-mail");
  click("Phone");
  click("LinkedIn");
  EXPECT_THAT(opened,
              ::testing::ElementsAre(QUrl("mailto:dana.lee@example.org"), QUrl("tel:+330612345678"),
                                     QUrl("https://linkedin.com/in/dana-lee")));

  // The user's own phone is not a teammate; a contact not met has no "Met at".
  EXPECT_TRUE(QTest::qWaitFor([&] {
    QLabel* also = rowValue(pane, "Also met by");
    return also && also->text() == "Sam Rivera";
  }));
  EXPECT_EQ(rowValue(pane, "Met at"), nullptr);

  // Met: when, with the month by name in the locale's order, never all digits.
  edit(id, [](Contact& c) { c.status = MeetingStatus::met; });
  pane.reload();
  QLabel* metAt = rowValue(pane, "Met at");
  ASSERT_NE(metAt, nullptr);
  EXPECT_TRUE(metAt->text().contains(QLocale().monthName(3, QLocale::ShortFormat)))
      << metAt->text().toStdString();
  EXPECT_FALSE(metAt->text().contains(QRegularExpression(QStringLiteral("\\d+/\\d+/\\d+"))));
}

TEST_F(DetailPaneTest, TheKeyboardReachesThePaneAndItsActions) {
  const auto ids = demoData(3);
  const Uuid id = *Uuid::parse(ids["contactIDs"][0].get<std::string>());
  MainWindow window(context());
  window.resize(1280, 800);
  window.show();
  activate(window);
  chooseContact(window, id);
  ContactDetailView& pane = *window.detailView();

  // Tab goes from the list on to the pane's actions.
  QTableView& table = *window.contactsView()->table();
  table.setFocus();
  for (int presses = 0; presses < 6 && !pane.isAncestorOf(QApplication::focusWidget()); ++presses)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_TRUE(pane.isAncestorOf(QApplication::focusWidget()))
      << QApplication::focusWidget()->metaObject()->className();

  // The shortcuts are in the tooltips.
  EXPECT_THAT(desktop::utf8(paneButton(pane, "editContact")->toolTip()),
              ::testing::HasSubstr("F2"));
  EXPECT_THAT(desktop::utf8(paneButton(pane, "addNote")->toolTip()),
              ::testing::HasSubstr("Ctrl+Shift+N"));
  EXPECT_THAT(desktop::utf8(paneButton(pane, "draftFollowUp")->toolTip()),
              ::testing::HasSubstr("Ctrl+Shift+D"));

  // Ctrl+Shift+N from the list: Tab leaves the note's text, Ctrl+Enter saves it.
  bool tabLeft = false;
  whenShown<desktop::NoteDialog>([&](desktop::NoteDialog& d) {
    QTest::keyClicks(d.textField(), "Wants the Osaka pilot");
    QTest::keyClick(d.textField(), Qt::Key_Tab);
    tabLeft = d.focusWidget() != d.textField() && !d.text().contains('\t');
    d.textField()->setFocus();
    QTest::keyClick(d.textField(), Qt::Key_Return, Qt::ControlModifier);
    if (d.isVisible()) d.reject();  // not saved: the wait below says so
  });
  table.setFocus();
  QTest::keyClick(&table, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(tabLeft);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const auto notes = notesOf(*store_, id);
        return std::any_of(notes->begin(), notes->end(), [](const ContactNote& n) {
          return n.textContent == "Wants the Osaka pilot";
        });
      },
      5000));

  // Ctrl+Shift+D: the follow-up for the contact shown.
  activate(window);
  QTest::keyClick(&table, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
  auto* followUp = pane.findChild<desktop::FollowUpDialog*>();
  ASSERT_NE(followUp, nullptr);
  QStringList said;
  for (const QLabel* label : followUp->findChildren<QLabel*>()) said << label->text();
  EXPECT_TRUE(said.contains("Write a follow-up e-mail to " + qs(stored(id).fullName()) + "."))
      << said.join(" | ").toStdString();
  followUp->close();
}

/// The colour behind `widget`: that of the nearest widget, itself included,
/// that fills its own background, else the window's.
QColor backgroundOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget())
    if (w->autoFillBackground() || w->isWindow()) return w->palette().color(w->backgroundRole());
  return QApplication::palette().color(QPalette::Window);
}

/// Each text the pane shows, with its contrast when it is below AA.
QStringList unreadableTexts(const ContactDetailView& pane) {
  QStringList unreadable;
  const auto check = [&](const QString& what, const QColor& text, const QColor& background) {
    const double ratio = desktop::contrastRatio(text, background);
    if (ratio < desktop::kReadableContrast)
      unreadable << QStringLiteral("%1 (%2 on %3: %4)")
                        .arg(what, text.name(), background.name())
                        .arg(ratio, 0, 'f', 2);
  };
  for (const QLabel* label : pane.findChildren<QLabel*>()) {
    if (!label->isVisibleTo(&pane) || label->text().isEmpty()) continue;
    const QPalette& p = label->palette();
    check(label->text(), p.color(label->foregroundRole()), backgroundOf(label));
    if (label->text().contains(QStringLiteral("<a ")))
      check(label->text(), p.color(QPalette::Link), backgroundOf(label));
  }
  for (const QAbstractButton* button : pane.findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(&pane) || button->text().isEmpty()) continue;
    const auto* push = qobject_cast<const QPushButton*>(button);
    const bool panel = push && !push->isFlat();
    const QPalette::ColorGroup group = button->isEnabled() ? QPalette::Active : QPalette::Disabled;
    check(button->text(), button->palette().color(group, QPalette::ButtonText),
          panel ? button->palette().color(group, QPalette::Button) : backgroundOf(button));
  }
  return unreadable;
}

void expectReadable(const ContactDetailView& pane, std::string_view when) {
  const QStringList unreadable = unreadableTexts(pane);
  EXPECT_TRUE(unreadable.isEmpty()) << when << ":\n  " << unreadable.join("\n  ").toStdString();
}

TEST_F(DetailPaneTest, EveryTextOfThePaneReadsAtAAContrastInTheLightAndDarkAppearances) {
  const auto ids = demoData(2);
  const Uuid id = *Uuid::parse(ids["contactIDs"][0].get<std::string>());
  edit(id, [](Contact& c) {
    c.phone = "+81 3-1234-5678";
    c.linkedinURL = "https://www.linkedin.com/in/wang";
    c.companySummary = "Display panels";
    c.ownedBy = "Dana";
    c.tier = "A";
    c.isFavorite = true;
    c.alsoMetBy = {"Sam Rivera"};
    c.metAt = now();
  });
  Opportunity deal = Opportunity::create("Pilot for 40 seats", "Acme", stored(id).eventID);
  deal.originContactID = id;
  ASSERT_TRUE(store_->insert(deal).ok());
  ASSERT_TRUE(store_->insert(FollowUpDraft::create("Next steps", "Hello", id)).ok());
  CaptureMedia badge;
  badge.id = Uuid::random();
  badge.contactID = id;
  badge.capturedAt = now();
  badge.captureType = CaptureType::badge;
  badge.imageFileName = "badge.jpg";  // never arrived: the tile says "missing"
  ASSERT_TRUE(store_->insert(badge).ok());

  const QPalette platform = QApplication::palette();
  for (const char* appearance : {"light", "dark"}) {
    SCOPED_TRACE(appearance);
    desktop::applyAppearance(*qApp, appearance, "comfortable");
    MainWindow window(context());
    window.resize(1280, 800);
    window.show();
    ContactDetailView& pane = *window.detailView();
    expectReadable(pane, "No contact selected");
    chooseContact(window, id);
    for (const MeetingStatus status : allCases<MeetingStatus>()) {
      edit(id, [&](Contact& c) { c.status = status; });
      pane.reload();
      ASSERT_FALSE(pane.isEmptyState());
      expectReadable(pane, rawValue(status));
    }
    // The line under the pane, as an edit left it and in each of its tones.
    paneButton(pane, "toggleTarget")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane.editStatusLabel()->isVisible(); }, 5000));
    expectReadable(pane, "after an edit");
    for (const auto tone : {desktop::TextTone::error, desktop::TextTone::warning}) {
      desktop::setTextTone(pane.editStatusLabel(), tone);
      expectReadable(pane, "a tone of the line under the pane");
    }
  }
  // Back to the platform's look, colours and all.
  desktop::applyAppearance(*qApp, "system", "comfortable");
  EXPECT_EQ(QApplication::palette(), platform);
}

TEST_F(DetailPaneTest, EveryViewFitsA1024By640WindowInEnglishAndInFrench) {
  const auto ids = demoData(30);
  const Uuid id = *Uuid::parse(ids["contactIDs"][3].get<std::string>());
  edit(id, [](Contact& c) {
    c.firstName = "Maximiliana Alexandrina";
    c.lastName = "von Hohenzollern-Sigmaringen";
    c.company = "Consolidated International Precision Manufacturing Group Ltd";
    c.title = "Senior Vice President of Strategic Partnerships and Business Development";
    c.email = "maximiliana.von.hohenzollern-sigmaringen@international-consolidated.example.com";
    c.status = MeetingStatus::met;
    c.metAt = now();
  });
  ASSERT_TRUE(
      store_->insert(FollowUpDraft::create("深圳华星光电 — 大阪试点的后续", "您好", id)).ok());

  const QLocale session;
  for (const AppLanguage language : {AppLanguage::en, AppLanguage::fr}) {
    SCOPED_TRACE(rawValue(language));
    desktop::applyLanguage(*qApp, language);
    MainWindow window(context());
    window.resize(1024, 640);
    window.show();
    chooseContact(window, id);
    ContactDetailView& pane = *window.detailView();
    for (int mode = 0; mode < 6; ++mode) {
      window.setMode(static_cast<MainWindow::Mode>(mode));
      QApplication::processEvents();
      EXPECT_LE(window.width(), 1024) << "mode " << mode;
      EXPECT_LE(window.minimumSizeHint().width(), 1024) << "mode " << mode;
      if (!pane.isVisible()) continue;
      // The pane keeps the width it is laid out for, and nothing in it is cut.
      EXPECT_GE(pane.width(), ContactDetailView::kMinimumWidth) << "mode " << mode;
      for (const QScrollArea* scroll : pane.findChildren<QScrollArea*>())
        EXPECT_LE(scroll->widget()->minimumSizeHint().width(), scroll->viewport()->width())
            << "mode " << mode;
      for (const QWidget* child : pane.findChildren<QWidget*>()) {
        if (child->isVisibleTo(&pane) && child->parentWidget() == &pane) {
          EXPECT_LE(child->minimumSizeHint().width(), pane.width()) << "mode " << mode;
        }
      }
    }
    // The contacts list keeps room for its rows beside the pane.
    window.setMode(MainWindow::Mode::contacts);
    EXPECT_GE(window.contactsView()->table()->width(), 400);
    EXPECT_TRUE(paneShows(window, id));
  }
  desktop::applyLanguage(*qApp, AppLanguage::en);
  QLocale::setDefault(session);
}

}  // namespace
}  // namespace qm::test
