// The global search popup and the contact detail pane over a running
// companion: Ctrl+K finds a contact and goes to it, and the pane shows the
// contact's notes and capture images and follows changes to the record.

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollArea>
#include <QTableView>
#include <QToolButton>
#include <filesystem>

#include "desktop/capture_preview.h"
#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/detail/contact_detail_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/main_window.h"
#include "desktop/search_popup.h"
#include "desktop_fixture.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/relationships.h"

namespace qm::test {
namespace {

using desktop::ContactDetailView;
using desktop::MainWindow;
using desktop::qs;
using desktop::SearchPopup;

QStringList labelTexts(const QWidget& widget) {
  QStringList texts;
  for (const QLabel* label : widget.findChildren<QLabel*>())
    if (label->isVisibleTo(widget.window())) texts << label->text();
  return texts;
}

QToolButton* captureButton(const ContactDetailView& view, const QString& startOfName) {
  for (QToolButton* button : view.findChildren<QToolButton*>())
    if (button->accessibleName().startsWith(startOfName)) return button;
  return nullptr;
}

class SearchDetailTest : public DesktopFixture {
 protected:
  /// A contact of the event whose last name no other contact there shares.
  Contact contactWithUniqueLastName(const Uuid& eventID) {
    auto contacts = contactsOf(*store_, eventID);
    EXPECT_TRUE(contacts.ok());
    for (const Contact& c : *contacts) {
      const auto same = std::count_if(contacts->begin(), contacts->end(),
                                      [&](const Contact& o) { return o.lastName == c.lastName; });
      if (same == 1) return c;
    }
    ADD_FAILURE() << "every last name is shared";
    return contacts->front();
  }
};

TEST_F(SearchDetailTest, SearchPopupFindsAContactAndGoesToIt) {
  const auto ids = demoData(12);
  const Uuid eventID = *Uuid::parse(ids["eventID"].get<std::string>());
  const Contact wanted = contactWithUniqueLastName(eventID);

  MainWindow window(context());
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_EQ(window.mode(), MainWindow::Mode::dashboard);

  SearchPopup* popup = window.searchPopup();
  QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }));
  QLineEdit* field = popup->field();
  EXPECT_EQ(field->accessibleName(), "Search everything");
  EXPECT_FALSE(popup->statusText().isEmpty());  // the hint for an empty query

  QTest::keyClicks(field, "zqxj");
  ASSERT_TRUE(QTest::qWaitFor([&] { return popup->statusText() == "No results"; }));

  field->clear();
  QTest::keyClicks(field, qs(wanted.lastName));
  QListView* list = popup->hitList();
  const auto listed = [&] {
    for (int row = 0; row < list->model()->rowCount(); ++row)
      if (list->model()->index(row, 0).data().toString() == qs(wanted.fullName())) return true;
    return false;
  };
  ASSERT_TRUE(QTest::qWaitFor(listed)) << popup->statusText().toStdString();
  // The first row is the group's title, which the arrow keys pass over.
  EXPECT_EQ(list->model()->index(0, 0).data().toString(), "Contacts");
  EXPECT_FALSE(list->model()->flags(list->model()->index(0, 0)) & Qt::ItemIsSelectable);

  QTest::keyClick(field, Qt::Key_Down);
  ASSERT_NE(popup->currentHit(), nullptr);
  EXPECT_EQ(qs(popup->currentHit()->primaryText), qs(wanted.fullName()));
  EXPECT_THAT(desktop::utf8(list->currentIndex().data(Qt::AccessibleTextRole).toString()),
              ::testing::HasSubstr("Demo Expo"));
  QTest::keyClick(field, Qt::Key_Return);

  EXPECT_FALSE(popup->isVisible());
  EXPECT_EQ(window.mode(), MainWindow::Mode::contacts);
  desktop::ContactsView* contacts = window.contactsView();
  const ListContact* current =
      contacts->model()->contactAt(contacts->table()->currentIndex().row());
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(current->id, wanted.id);
  EXPECT_EQ(window.detailView()->contactID(), wanted.id);
  EXPECT_EQ(window.detailView()->shownName(), qs(wanted.fullName()));

  // Opening it again offers the last query for replacing; Escape closes it.
  popup->popUp();
  ASSERT_TRUE(popup->isVisible());
  EXPECT_EQ(field->selectedText(), qs(wanted.lastName));
  QTest::keyClick(field, Qt::Key_Escape);
  EXPECT_FALSE(popup->isVisible());
}

TEST_F(SearchDetailTest, DetailPaneShowsNotesAndCapturesAndFollowsChanges) {
  const auto ids = demoData(3);
  const Uuid eventID = *Uuid::parse(ids["eventID"].get<std::string>());
  const Uuid contactID = *Uuid::parse(ids["contactIDs"][1].get<std::string>());

  // What the phone would have sent: a note in Japanese, a business card with
  // its image and a badge whose image never arrived.
  ContactNote note;
  note.id = Uuid::random();
  note.syncID = Uuid::random();
  note.contactID = contactID;
  note.createdAt = note.updatedAt = now();
  note.textContent = "価格表を来週送る — send the price list next week";
  note.createdByName = "Dana";
  ASSERT_TRUE(store_->insert(note).ok());
  const auto imagePath = captureImageURL(paths.documents, eventID, "card.png");
  std::filesystem::create_directories(imagePath.parent_path());
  QImage card(600, 340, QImage::Format_RGB32);
  card.fill(Qt::darkCyan);
  ASSERT_TRUE(card.save(qs(imagePath.string())));
  CaptureMedia present;
  present.id = Uuid::random();
  present.contactID = contactID;
  present.capturedAt = now();
  present.captureType = CaptureType::businessCard;
  present.imageFileName = "card.png";
  present.caption = "Card from the booth";
  present.ocrExtractedText = "Head of Sales";
  ASSERT_TRUE(store_->insert(present).ok());
  CaptureMedia absent = present;
  absent.id = Uuid::random();
  absent.captureType = CaptureType::badge;
  absent.imageFileName = "badge.jpg";
  absent.caption = "Badge";
  ASSERT_TRUE(store_->insert(absent).ok());

  MainWindow window(context());
  window.resize(1280, 800);
  window.show();
  window.sidebar()->choose(eventID);
  window.setMode(MainWindow::Mode::contacts);
  ContactDetailView& view = *window.detailView();
  const auto badge = [&] {
    for (const QLabel* label : view.findChildren<QLabel*>())
      if (label->accessibleName() == "Meeting status") return label->text();
    return QString();
  };
  EXPECT_TRUE(view.isEmptyState());
  EXPECT_THAT(labelTexts(view), ::testing::Contains(QString("No contact selected")));

  chooseContact(window, contactID);
  EXPECT_EQ(badge(), "Not met");
  auto contact = *store_->find<Contact>(contactID);
  ASSERT_TRUE(contact.has_value());
  EXPECT_EQ(view.shownName(), qs(contact->fullName()));
  const QStringList texts = labelTexts(view);
  EXPECT_THAT(texts, ::testing::Contains(qs(*note.textContent)));
  // The address is a link that opens the mail program.
  const auto emailLink = [&]() -> QString {
    for (const QLabel* label : view.findChildren<QLabel*>())
      if (label->accessibleName() == "E-mail" && label->buddy() == nullptr) return label->toolTip();
    return {};
  };
  EXPECT_EQ(emailLink(), "mailto:" + qs(*contact->email));

  QToolButton* image = captureButton(view, "Capture image: Card from the booth");
  ASSERT_NE(image, nullptr);
  EXPECT_FALSE(image->icon().isNull());
  QToolButton* missing = captureButton(view, "Capture image missing: Badge");
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->text(), "missing");

  image->click();
  auto* preview = view.findChild<desktop::CapturePreview*>();
  ASSERT_NE(preview, nullptr);
  EXPECT_TRUE(preview->hasImage());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !preview->imageLabel()->pixmap().isNull(); }));
  EXPECT_LE(preview->imageLabel()->pixmap().deviceIndependentSize().width(),
            preview->imageLabel()->width());
  EXPECT_THAT(labelTexts(*preview), ::testing::Contains(QString("Card from the booth")));
  preview->close();

  // The phone renames the contact and marks it met; the pane follows on reload.
  contact->firstName = "Zhang";
  contact->lastName = "Wěi Long-Surname-Without-Any-Break-In-It-At-All";
  contact->status = MeetingStatus::met;
  ASSERT_TRUE(store_->update(*contact).ok());
  view.reload();
  EXPECT_EQ(view.shownName(), qs(contact->fullName()));
  EXPECT_EQ(badge(), "Met");
  EXPECT_LE(view.findChild<QScrollArea*>()->widget()->width(), view.width());

  // Deleted on the phone: the list drops it and the pane goes back to its empty state.
  ASSERT_TRUE(store_->remove<Contact>(contactID).ok());
  window.reloadRecords({"Contact"});
  EXPECT_FALSE(view.contactID().has_value());
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.isEmptyState(); }));
}

}  // namespace
}  // namespace qm::test
