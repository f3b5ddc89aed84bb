// Drafts, reports and capture images in the window over a running companion
// and the phone simulator: a draft written by the phone's AI over the relay,
// edited, approved and saved as an e-mail that Python's email package reads;
// a batch followed and cancelled from the drafts list, exported as .eml files,
// and resumed by a restarted companion; reports with their text and PDF; and
// the full-size capture preview.

#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "common/atomic_file.h"
#include "desktop/capture_preview.h"
#include "desktop/detail/contact_detail_view.h"
#include "desktop/draft_editor.h"
#include "desktop/drafts_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/follow_up_action.h"
#include "desktop/main_window.h"
#include "desktop/private_file.h"
#include "desktop/reports_view.h"
#include "desktop_fixture.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/follow_up_draft.h"
#include "store/relationships.h"
#include "store/saved_report.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using desktop::MainWindow;
using desktop::qs;
using ::testing::HasSubstr;

constexpr const char* kReply = "SUBJECT: Pumps at the show\n---\nHello,\n\nthanks for the visit.";

mode_t modeOf(const QString& path) {
  struct stat info {};
  EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
  return info.st_mode & 07777;
}

QPushButton* button(const QWidget& parent, const char* name) {
  auto* found = parent.findChild<QPushButton*>(QString::fromLatin1(name));
  EXPECT_NE(found, nullptr) << name;
  return found;
}

/// Records what the window asked to open instead of starting a viewer.
struct OpenedFiles {
  OpenedFiles() {
    desktop::externalOpener() = [this](const QString& path, auto done) {
      paths << path;
      done({});
    };
  }
  ~OpenedFiles() { desktop::externalOpener() = desktop::openWithXdgOpen; }
  QStringList paths;
};

class DraftsReportsTest : public DesktopFixture {
 protected:
  /// The bonded phone simulator, connected and answering relay requests with
  /// `relay` options.
  std::unique_ptr<Subprocess> connectedPhone(const std::string& port,
                                             const std::vector<std::string>& relay) {
    std::vector<std::string> args{"connect",  "--port",   port, "--bond",
                                  bondFile(), "--listen", "90"};
    args.insert(args.end(), relay.begin(), relay.end());
    auto phone = std::make_unique<Subprocess>(PHONE_BINARY, args,
                                              std::map<std::string, std::string>{}, outDir.path());
    EXPECT_TRUE(QTest::qWaitFor([&] { return pairingStatus()["state"] == "paired"; }, 15000))
        << phone->output() << phone->errors();
    return phone;
  }
  /// The event's met contacts that no draft names, as the bulk action counts.
  std::size_t qualifying(const Uuid& eventID) {
    auto contacts = contactsOf(*store_, eventID);
    auto drafts = store_->fetch<FollowUpDraft>();
    EXPECT_TRUE(contacts && drafts);
    std::set<Uuid> drafted;
    for (const auto& d : *drafts)
      if (d.contactID) drafted.insert(*d.contactID);
    std::size_t n = 0;
    for (const auto& c : *contacts) n += c.status == MeetingStatus::met && !drafted.contains(c.id);
    return n;
  }
  std::vector<FollowUpDraft> drafts() {
    auto all = store_->fetch<FollowUpDraft>();
    EXPECT_TRUE(all.ok());
    return all ? *all : std::vector<FollowUpDraft>{};
  }
};

TEST_F(DraftsReportsTest, ADraftFromThePhoneIsEditedApprovedAndSavedAsAnEmail) {
  const auto ids = demoData(6);
  const Uuid contactID = *Uuid::parse(ids["contactIDs"][0].get<std::string>());
  const Contact contact = **store_->find<Contact>(contactID);
  OpenedFiles opened;

  // Without the phone or an AI endpoint the dialog says why nothing was written.
  QPointer<desktop::FollowUpDialog> refused = desktop::draftFollowUp(context(), contactID, nullptr);
  refused->generate();
  EXPECT_TRUE(refused->isBusy());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !refused->isBusy(); }, 10000));
  EXPECT_EQ(refused->errorLabel()->text(),
            "No AI endpoint is set up and the phone is not connected. Set up an AI endpoint in "
            "Settings ▸ AI, pair the phone, or write from a template");
  EXPECT_TRUE(refused->errorLabel()->isVisible());
  refused->close();

  const std::string port = pairPhone();
  auto phone = connectedPhone(port, {"--relay-reply", kReply});
  QPointer<desktop::FollowUpDialog> dialog = desktop::draftFollowUp(context(), contactID, nullptr);
  dialog->toneBox()->setCurrentIndex(dialog->toneBox()->findData("warm"));
  dialog->generateButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->editor()->draftID().has_value(); }, 20000))
      << dialog->errorLabel()->text().toStdString() << phone->output();
  desktop::DraftEditor& editor = *dialog->editor();
  const Uuid draftID = *editor.draftID();
  EXPECT_EQ(editor.subjectField()->text(), "Pumps at the show");
  EXPECT_EQ(store_->find<FollowUpDraft>(draftID)->value().tone, "warm");

  // Edited: the preview shows the body as the e-mail will, list and all.
  editor.subjectField()->setText("Valves at the show");
  editor.bodyField()->setPlainText("Hello,\n\n- **first** point\n- second point\n\nThanks");
  EXPECT_TRUE(editor.isModified());
  const QString preview = editor.preview()->toPlainText();
  EXPECT_THAT(preview.toStdString(), HasSubstr("first point"));
  EXPECT_THAT(preview.toStdString(), ::testing::Not(HasSubstr("**")));
  EXPECT_THAT(editor.preview()->toHtml().toStdString(), HasSubstr("<li"));
  button(editor, "save")->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return store_->find<FollowUpDraft>(draftID)->value().subject == "Valves at the show"; },
      5000));
  EXPECT_FALSE(editor.isModified());

  // Approved.
  QComboBox* status = editor.statusBox();
  status->setCurrentIndex(status->findData("approved"));
  Q_EMIT status->activated(status->currentIndex());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return store_->find<FollowUpDraft>(draftID)->value().status == "approved"; }, 5000));

  // Saved as .eml under the proposed name; Python's email package reads it.
  QString proposed;
  const QString folder = qs(outDir.path().string());
  editor.setFileChooser([&](QWidget*, const QString& name) {
    proposed = name;
    return folder + "/" + QFileInfo(name).fileName();
  });
  button(editor, "save-eml")->click();
  EXPECT_EQ(QFileInfo(proposed).fileName(),
            qs(contact.fullName()) + QString::fromUtf8(" — Valves at the show.eml"));
  const QString saved = folder + "/" + QFileInfo(proposed).fileName();
  ASSERT_TRUE(QFileInfo::exists(saved)) << editor.feedback()->text().toStdString();
  auto parsed =
      runCommand("/usr/bin/python3",
                 {"-c",
                  "import sys\n"
                  "from email import policy\n"
                  "from email.parser import BytesParser\n"
                  "m = BytesParser(policy=policy.default).parse(open(sys.argv[1], 'rb'))\n"
                  "print('SUBJECT=' + m['Subject'])\n"
                  "print('TO=' + m['To'])\n"
                  "print('UNSENT=' + str(m['X-Unsent']))\n"
                  "print(m.get_content_type())\n"
                  "print(m.get_body(('plain',)).get_content())\n"
                  "print(m.get_body(('html',)).get_content())\n",
                  saved.toStdString()},
                 {});
  ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
  EXPECT_THAT(parsed.out, HasSubstr("SUBJECT=Valves at the show\n"));
  if (contact.email && !contact.email->empty()) {
    EXPECT_THAT(parsed.out, HasSubstr("TO=" + contact.fullName() + " <" + *contact.email + ">\n"));
  }
  EXPECT_THAT(parsed.out, HasSubstr("multipart/alternative\n"));
  EXPECT_THAT(parsed.out, HasSubstr("UNSENT=None\n"));
  EXPECT_THAT(parsed.out, HasSubstr("- **first** point"));
  EXPECT_THAT(parsed.out, HasSubstr("<li><strong>first</strong> point</li>"));

  // A folder that cannot be written says so.
  editor.setFileChooser([](QWidget*, const QString&) { return QString("/proc/no/such.eml"); });
  button(editor, "save-eml")->click();
  EXPECT_THAT(editor.feedback()->text().toStdString(), ::testing::StartsWith("Failed to save: "));

  button(editor, "copy")->click();
  EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("Valves at the show\n\nHello,"));

  // Another recipient: one that is not an address is refused and stays in
  // the field to correct; a real one is kept with the draft.
  editor.recipientField()->setText("ana at partner");
  button(editor, "save")->click();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return editor.feedback()->text().contains("e-mail address"); }));
  EXPECT_EQ(editor.recipientField()->text(), "ana at partner");
  EXPECT_TRUE(editor.isModified());
  editor.recipientField()->setText("ana@partner.example");
  button(editor, "save")->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return store_->find<FollowUpDraft>(draftID)->value().recipientEmail ==
               "ana@partner.example";
      },
      5000));

  // Opened in the mail program from a private copy, as a message to send.
  button(editor, "open-in-mail")->click();
  ASSERT_EQ(opened.paths.size(), 1);
  EXPECT_EQ(modeOf(opened.paths[0]), 0600u);
  EXPECT_EQ(modeOf(QFileInfo(opened.paths[0]).path()), 0700u);
  EXPECT_TRUE(opened.paths[0].endsWith(".eml"));
  const std::string forMail = readFile(opened.paths[0].toStdString()).value();
  EXPECT_THAT(forMail, HasSubstr("\r\nX-Unsent: 1\r\n"));
  EXPECT_THAT(forMail, HasSubstr("<ana@partner.example>\r\n"));

  // Written again in another tone: the same draft, its new text and tone.
  editor.toneBox()->setCurrentIndex(editor.toneBox()->findData("formal"));
  button(editor, "regenerate")->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return store_->find<FollowUpDraft>(draftID)->value().tone == "formal"; }, 20000));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return editor.subjectField()->text() == "Pumps at the show"; }));
  EXPECT_EQ(drafts().size(), 1u);

  // Unsaved edits are saved when the dialog closes.
  editor.bodyField()->setPlainText("Closing keeps this");
  dialog->close();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return store_->find<FollowUpDraft>(draftID)->value().body == "Closing keeps this"; },
      5000));
  phone->stop(SIGTERM, std::chrono::seconds(5));
}

// Without an AI endpoint or the phone: the detail pane's "Write from
// Template" writes the draft at once into the editor, and the drafts list's
// batch comes from the templates and says so.
TEST_F(DraftsReportsTest, WithoutAnAITheWindowWritesFromTheTemplates) {
  const auto ids = demoData(30);
  const Uuid eventID = *Uuid::parse(ids["eventID"].get<std::string>());
  const Uuid contactID = *Uuid::parse(ids["contactIDs"][0].get<std::string>());
  const Contact contact = **store_->find<Contact>(contactID);
  ASSERT_EQ(cli({"settings", "set", "followUpTemplateFormal",
                 "Subject: {fullName} at {event}\n\nDear {fullName},\n\nThank you."})
                .exitCode,
            0);
  link_->subscribe();
  MainWindow window(context());
  window.show();
  chooseContact(window, contactID);
  button(*window.detailView(), "writeFromTemplate")->click();
  auto* dialog = window.detailView()->findChild<desktop::FollowUpDialog*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->templateButton()->isDefault());
  dialog->toneBox()->setCurrentIndex(dialog->toneBox()->findData("formal"));
  dialog->templateButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->editor()->draftID().has_value(); }, 10000))
      << dialog->errorLabel()->text().toStdString();
  const QString name = qs(contact.fullName());
  EXPECT_EQ(dialog->editor()->subjectField()->text(), name + " at Demo Expo");
  EXPECT_EQ(dialog->editor()->bodyField()->toPlainText(), "Dear " + name + ",\n\nThank you.");
  const FollowUpDraft draft = store_->find<FollowUpDraft>(*dialog->editor()->draftID())->value();
  EXPECT_EQ(draft.tone, "formal");
  EXPECT_EQ(draft.aiProvider, std::nullopt);
  dialog->close();

  desktop::DraftsView view(context());
  view.show();
  view.setEvent(eventID);
  ASSERT_TRUE(view.generateButton()->isEnabled());
  view.generateButton()->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return view.batchLabel()->text().startsWith("Batch finished"); }, 20000))
      << view.feedback()->text().toStdString();
  EXPECT_THAT(view.batchLabel()->text().toStdString(), HasSubstr(", 0 failed of "));
  EXPECT_TRUE(view.templatesLabel()->isVisible());
  EXPECT_EQ(view.templatesLabel()->text(),
            "Writing from templates: no AI endpoint is set up and the phone is not connected.");
  EXPECT_GT(drafts().size(), 1u);
}

TEST_F(DraftsReportsTest, TheDraftsListFollowsCancelsAndExportsABatch) {
  const auto ids = demoData(60);
  const Uuid eventID = *Uuid::parse(ids["eventID"].get<std::string>());
  const std::size_t candidates = qualifying(eventID);
  ASSERT_GT(candidates, 5u);
  OpenedFiles opened;
  link_->subscribe();
  desktop::DraftsView view(context());
  // As the main window does: the list reads again when records change.
  QObject::connect(link_.get(), &desktop::CompanionLink::recordsChanged, &view,
                   [&] { view.reload(); });
  view.resize(1200, 700);
  view.show();
  view.setEvent(eventID);
  EXPECT_EQ(view.generateButton()->text().toStdString(),
            candidates > 10 ? "Generate for 10 of " + std::to_string(candidates) + " contacts"
                            : "Generate for " + std::to_string(candidates) + " contacts");
  EXPECT_EQ(view.exportButton()->text(), "Export 0 as .eml");
  EXPECT_FALSE(view.exportButton()->isEnabled());

  const std::string port = pairPhone();
  auto phone = connectedPhone(port, {"--relay-reply", kReply, "--relay-delay", "0.6"});
  view.generateButton()->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return view.batchLabel()->text().contains(" 2 written, 0 failed of "); }, 20000))
      << view.feedback()->text().toStdString() << phone->output();
  EXPECT_TRUE(view.batchProgress()->isVisible());
  EXPECT_FALSE(view.generateButton()->isEnabled());
  EXPECT_FALSE(view.resumeLabel()->isVisible());
  view.cancelButton()->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return view.batchLabel()->text().startsWith("Batch finished"); }, 20000));
  const auto written = drafts();
  const auto total = std::min<std::size_t>(candidates, 10);
  EXPECT_GE(written.size(), 2u);
  EXPECT_LT(written.size(), total);
  EXPECT_EQ(view.batchLabel()->text().toStdString(),
            "Batch finished: " + std::to_string(written.size()) + " written, 0 failed of " +
                std::to_string(total));
  EXPECT_FALSE(view.cancelButton()->isVisible());
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return view.tree()->topLevelItemCount() == static_cast<int>(written.size()); }));

  // The list chooses a draft into the editor; two chosen export as two files,
  // and again into the same folder under numbered names.
  view.tree()->setCurrentItem(view.tree()->topLevelItem(0));
  ASSERT_TRUE(view.editor()->draftID().has_value());
  EXPECT_EQ(view.editor()->subjectField()->text(), "Pumps at the show");
  view.tree()->topLevelItem(1)->setSelected(true);
  EXPECT_EQ(view.exportButton()->text(), "Export 2 as .eml");
  const QString folder = qs((outDir.path() / "exported").string());
  view.setFolderChooser([&](QWidget*, const QString&) { return folder; });
  view.exportButton()->click();
  view.exportButton()->click();
  const QStringList files = QDir(folder).entryList({"*.eml"}, QDir::Files, QDir::Name);
  ASSERT_EQ(files.size(), 4) << view.feedback()->text().toStdString();
  EXPECT_EQ(files.filter(" (2).eml").size(), 2);
  EXPECT_EQ(opened.paths.size(), 2);

  // However narrow the list, the columns it shows stay inside it: the tone,
  // then the date give way to the contact and the subject.
  QTreeWidget* tree = view.tree();
  const auto fits = [&] {
    return tree->header()->length() <= tree->viewport()->width() && !tree->isColumnHidden(0) &&
           !tree->isColumnHidden(1);
  };
  view.resize(760, 700);
  EXPECT_TRUE(QTest::qWaitFor(fits))
      << tree->header()->length() << " in " << tree->viewport()->width();
  EXPECT_TRUE(tree->isColumnHidden(3));
  view.resize(2200, 700);
  EXPECT_TRUE(QTest::qWaitFor([&] { return fits() && !tree->isColumnHidden(3); }));
  EXPECT_FALSE(tree->isColumnHidden(4));
  phone->stop(SIGTERM, std::chrono::seconds(5));
}

TEST_F(DraftsReportsTest, TheWindowSaysWhenARestartedCompanionResumesABatch) {
  const auto ids = demoData(40, "Hannover Messe");
  const Uuid eventID = *Uuid::parse(ids["eventID"].get<std::string>());
  ASSERT_GT(qualifying(eventID), 3u);
  const std::string port = pairPhone();
  auto phone = connectedPhone(port, {"--relay-reply", kReply, "--relay-delay", "0.8"});
  link_->request({{"command", "drafts.batch"}, {"eventID", desktop::uuidText(eventID)}},
                 [](const QJsonObject&, const QString&) {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !drafts().empty(); }, 20000)) << phone->output();

  // The companion dies in the middle; the one started next resumes the batch.
  companion_->stop(SIGKILL, std::chrono::seconds(5));
  phone->stop(SIGTERM, std::chrono::seconds(5));
  const std::size_t remaining = qualifying(eventID);
  link_->subscribe();
  desktop::DraftsView view(context());
  view.show();
  view.setEvent(eventID);
  companion_ = std::make_unique<Subprocess>(QUILLMERE_BINARY, std::vector<std::string>{"run"}, env,
                                            outDir.path());
  ASSERT_TRUE(QTest::qWaitFor([&] { return companionIsRunning(paths.controlSocket()); }, 10000));
  // Reconnect, as from the pairing window, and the phone comes back.
  link_->request({{"command", "pairing.reconnect"}}, [](const QJsonObject&, const QString&) {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return pairingStatus().contains("listeningPort"); }, 10000))
      << pairingStatus().dump() << companion_->errors();
  phone = connectedPhone(std::to_string(pairingStatus()["listeningPort"].get<int>()),
                         {"--relay-reply", kReply, "--relay-delay", "0.8"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.resumeLabel()->isVisible(); }, 20000))
      << view.batchLabel()->text().toStdString() << companion_->errors();
  EXPECT_EQ(view.resumeLabel()->text().toStdString(),
            "Resuming batch: " + std::to_string(remaining) + " remaining for 'Hannover Messe'");
  EXPECT_TRUE(view.cancelButton()->isEnabled());
  view.cancelButton()->click();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return view.batchLabel()->text().startsWith("Batch finished"); }, 20000));
  phone->stop(SIGTERM, std::chrono::seconds(5));
}

TEST_F(DraftsReportsTest, ReportsShowTheirTextAndOpenAPrivateCopyOfTheirPdf) {
  const auto ids = demoData(3);
  const Uuid eventID = *Uuid::parse(ids["eventID"].get<std::string>());
  SavedReport older = SavedReport::create("Event Summary", "Just text", eventID);
  older.generatedAt = older.generatedAt - std::chrono::hours(24);
  SavedReport report = SavedReport::create(
      "Executive Report", "# Summary\n\nWe met **12 people**.\n\n- Acme\n- Globex\n", eventID);
  report.providerUsed = "claude";
  report.detailLevel = "brief";
  const std::string pdf = "%PDF-1.4\n% a very small report\n%%EOF\n";
  report.pdfData = Bytes(pdf.begin(), pdf.end());
  ASSERT_TRUE(store_->insert(older).ok());
  ASSERT_TRUE(store_->insert(report).ok());
  OpenedFiles opened;

  MainWindow window(context());
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  window.sidebar()->choose(eventID);
  QTest::keyClick(&window, Qt::Key_6, Qt::ControlModifier);
  ASSERT_EQ(window.mode(), MainWindow::Mode::reports);
  desktop::ReportsView& view = *window.reportsView();
  ASSERT_EQ(view.tree()->topLevelItemCount(), 2);
  // Latest first, with its provider and detail level; its text formatted.
  const QTreeWidgetItem* first = view.tree()->topLevelItem(0);
  EXPECT_EQ(first->text(0), "Executive Report");
  EXPECT_EQ(first->text(2), "claude");
  EXPECT_EQ(first->text(3), "Brief");
  const QString text = view.content()->toPlainText();
  EXPECT_TRUE(text.contains("We met 12 people.")) << text.toStdString();
  EXPECT_FALSE(text.contains("**"));
  EXPECT_FALSE(text.contains("# Summary"));
  ASSERT_TRUE(view.openPdfButton()->isEnabled());
  view.openPdfButton()->click();
  ASSERT_EQ(opened.paths.size(), 1);
  EXPECT_TRUE(opened.paths[0].endsWith(".pdf"));
  EXPECT_EQ(modeOf(opened.paths[0]), 0600u);
  EXPECT_EQ(modeOf(QFileInfo(opened.paths[0]).path()), 0700u);
  QFile copy(opened.paths[0]);
  ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
  EXPECT_EQ(copy.readAll().toStdString(), pdf);

  // The other has no PDF; a viewer that fails is reported.
  view.tree()->setCurrentItem(view.tree()->topLevelItem(1));
  EXPECT_EQ(view.content()->toPlainText(), "Just text");
  EXPECT_FALSE(view.openPdfButton()->isEnabled());
  view.tree()->setCurrentItem(view.tree()->topLevelItem(0));
  desktop::externalOpener() = [](const QString&, auto done) { done("no PDF viewer"); };
  view.openPdfButton()->click();
  EXPECT_EQ(view.feedback()->text(), "Could not open the PDF: no PDF viewer");
}

TEST_F(DraftsReportsTest, ACaptureImageFitsTheWindowOrShowsAtActualSize) {
  const QString file = qs((outDir.path() / "card.png").string());
  QImage card(1800, 1200, QImage::Format_RGB32);
  card.fill(Qt::darkCyan);
  ASSERT_TRUE(card.save(file));
  CaptureMedia capture;
  capture.capturedAt = now();
  capture.captureType = CaptureType::businessCard;
  capture.caption = "Card from the booth";
  capture.ocrExtractedText = "Ada Lovelace\nAnalytical Engines Ltd";

  desktop::CapturePreview preview(capture, file);
  preview.resize(700, 600);
  preview.show();
  ASSERT_TRUE(preview.hasImage());
  // Fitted: as large as the room allows in one direction, within it in both.
  const auto fitted = [&] {
    const QSizeF shown = preview.imageLabel()->pixmap().deviceIndependentSize();
    const QSize room = preview.scrollArea()->viewport()->size();
    return !shown.isEmpty() && shown.width() <= room.width() && shown.height() <= room.height() &&
           (shown.width() >= room.width() - 2 || shown.height() >= room.height() - 2);
  };
  EXPECT_TRUE(QTest::qWaitFor(fitted));
  preview.setFitToWindow(false);
  EXPECT_EQ(preview.imageLabel()->pixmap().deviceIndependentSize().toSize(),
            QSize(1800, 1200) / preview.devicePixelRatioF());
  EXPECT_GT(preview.scrollArea()->horizontalScrollBar()->maximum(), 0);
  preview.setFitToWindow(true);
  EXPECT_TRUE(QTest::qWaitFor(fitted));
  preview.resize(900, 800);
  EXPECT_TRUE(QTest::qWaitFor(fitted));

  desktop::CapturePreview missing(capture, qs((outDir.path() / "gone.png").string()));
  EXPECT_FALSE(missing.hasImage());
  EXPECT_THAT(missing.imageLabel()->text().toStdString(), HasSubstr("The image file is missing"));
  EXPECT_THAT(missing.imageLabel()->text().toStdString(), HasSubstr("gone.png"));
}

}  // namespace
}  // namespace qm::test
