// Drafts written as .eml files: the drafts an event exports, unique names in
// one folder, failures reported, and the files read back by Python's e-mail
// parser, an independent reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "export/eml_export.h"
#include "export/eml_file_name.h"
#include "export/markdown_html.h"
#include "store/event.h"
#include "store/store.h"
#include "store/store_test_support.h"
#include "support/subprocess.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::SizeIs;

EmlOptions sentByName(std::string name) {
  EmlOptions options;
  options.senderName = std::move(name);
  return options;
}

struct EmlExport : test::StoreFixture {
  Event event = Event::create("Hannover Messe");
  Contact ana, bo;

  void SetUp() override {
    test::StoreFixture::SetUp();
    ASSERT_OK(store->insert(event));
    ana = makeContact("Ana", "Müller", event.id);
    bo = makeContact("Bo", "Li", event.id);
  }

  Contact makeContact(std::string first, std::string last, std::optional<Uuid> eventID) {
    Contact c;
    c.id = Uuid::random();
    c.syncID = Uuid::random();
    c.eventID = eventID;
    c.firstName = std::move(first);
    c.lastName = std::move(last);
    EXPECT_OK(store->insert(c));
    return c;
  }

  FollowUpDraft makeDraft(std::string subject, std::optional<Uuid> contactID,
                          std::string status = "draft") {
    auto d = FollowUpDraft::create(std::move(subject), "Hi", contactID);
    d.status = std::move(status);
    EXPECT_OK(store->insert(d));
    return d;
  }
};

TEST_F(EmlExport, AnEventsDraftsButTheDismissedOnesInStoredOrder) {
  Event other = Event::create("CES");
  ASSERT_OK(store->insert(other));
  const auto stranger = makeContact("Cy", "Ng", other.id);
  const auto first = makeDraft("one", ana.id);
  makeDraft("dismissed", bo.id, "dismissed");
  makeDraft("other event", stranger.id);
  makeDraft("no contact", std::nullopt);
  const auto last = makeDraft("two", bo.id, "sent");

  auto drafts = eventDraftsForExport(*store, event.id);
  ASSERT_OK(drafts);
  ASSERT_THAT(*drafts, SizeIs(2));
  EXPECT_EQ((*drafts)[0].draft.id, first.id);
  EXPECT_EQ((*drafts)[0].contact->fullName(), "Ana Müller");
  EXPECT_EQ((*drafts)[1].draft.id, last.id);
}

TEST_F(EmlExport, SameNamesInOneFolderAreNumbered) {
  makeDraft("Next steps", ana.id);
  makeDraft("Next steps", ana.id);
  auto drafts = eventDraftsForExport(*store, event.id);
  ASSERT_OK(drafts);
  const auto folder = dir / "out" / "nested";
  const auto result = exportDrafts(*drafts, sentByName("Jo"), folder);
  EXPECT_THAT(result.failed, SizeIs(0));
  EXPECT_THAT(
      result.written,
      ElementsAre(Field(&ExportResult::fileURL, folder / "Ana Müller \u2014 Next steps.eml"),
                  Field(&ExportResult::fileURL, folder / "Ana Müller \u2014 Next steps (2).eml")));
  EXPECT_EQ(result.written[0].contactName, "Ana Müller");
  EXPECT_EQ(fs::status(result.written[1].fileURL).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(EmlExport, WriteFailuresAreReportedPerDraft) {
  makeDraft("a", ana.id);
  makeDraft("b", bo.id);
  auto drafts = eventDraftsForExport(*store, event.id);
  ASSERT_OK(drafts);
  ASSERT_OK(writeFileAtomically(dir / "a-file", "x"));
  const auto result = exportDrafts(*drafts, sentByName("Jo"), dir / "a-file");
  EXPECT_THAT(result.written, SizeIs(0));
  ASSERT_THAT(result.failed, SizeIs(2));
  EXPECT_EQ(result.failed[1].contactName, "Bo Li");
  EXPECT_FALSE(result.failed[1].error.message.empty());

  EXPECT_FALSE(exportDraft((*drafts)[0], sentByName("Jo"), dir / "missing" / "x.eml").ok());
  auto loaded = loadDraftMessage(*store, Uuid::random());
  EXPECT_THAT(loaded, test::IsError(ErrorCode::notFound));
}

/// Python's `email` package, with the modern policy, reads each file; its
/// decoded subject, plain text and HTML must be what the draft holds, with
/// the signature below the body.
TEST_F(EmlExport, PythonsMailParserReadsSubjectAndBody) {
  const std::vector<std::pair<std::string, std::string>> drafts{
      {"Plain ASCII subject", "Hi **Ana**,\n\n- first\n- second\nThanks"},
      {"Grüße aus München — 田中さん, Øystein & Nguyễn", "Dziękuję *bardzo* <3 & = signs"},
      {"Line\r\nBcc: victim@example.org", "x"},
      {"A very long subject " + std::string(150, 'y') + " with ümlauts " + std::string(80, 'z'),
       std::string(500, 'w') + "\n" + std::string(30, '=') + " trailing space \nend."},
      {"", ""},
      {"Looks encoded =?UTF-8?B?SGk=?= but is not", "  indented line  \n\n\n* item"},
  };
  nlohmann::json expected = nlohmann::json::array();
  for (std::size_t i = 0; i < drafts.size(); ++i) {
    DraftMessage m{FollowUpDraft::create(drafts[i].first, drafts[i].second, ana.id), ana};
    m.contact->email = "ana@example.org";
    const auto file = dir / ("draft" + std::to_string(i) + ".eml");
    const EmlOptions options{.senderName = "Jo \"JJ\" Smith",
                             .senderEmail = "jo@smith.example",
                             .signature = i % 2 == 0 ? "Jo Smith\nSmith & Sons" : "",
                             .forMailProgram = i % 2 == 1};
    ASSERT_OK(exportDraft(m, options, file));
    const std::string text = bodyWithSignature(drafts[i].second, options.signature);
    expected.push_back({{"file", file.string()},
                        {"subject", drafts[i].first},
                        {"text", text},
                        {"html", markdownToHTML(text)},
                        {"unsent", options.forMailProgram}});
  }
  ASSERT_OK(writeFileAtomically(dir / "expected.json", expected.dump()));
  const auto run =
      test::runCommand(QM_PYTHON, {QM_EML_CHECK_SCRIPT, (dir / "expected.json").string()}, {});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, ::testing::HasSubstr("6 messages read"));
}

}  // namespace
}  // namespace qm
