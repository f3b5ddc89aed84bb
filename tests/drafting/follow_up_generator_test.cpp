// Draft generation through a fake AI endpoint and over the relay of a real
// sync service to a fake phone, into a real store.
#include "drafting/follow_up_generator.h"

#include <gmock/gmock.h>

#include <deque>

#include "common/log.h"
#include "settings/pipeline_manager.h"
#include "store/follow_up_draft.h"
#include "store/store_test_support.h"
#include "support/desktop_services.h"
#include "support/log_capture.h"
#include "support/status_matchers.h"
#include "sync/phone_channel.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

struct FakePhone : PhoneChannel {
  bool paired = true;
  std::vector<SyncEnvelope> sent;
  bool isPaired() const override { return paired; }
  Status send(const SyncEnvelope& envelope) override {
    sent.push_back(envelope);
    return {};
  }
  std::optional<std::string> pairedPhoneName() const override { return "Dana's phone"; }
};

/// An endpoint whose answers the test gives, one request at a time.
struct FakeEndpoint : CompletionClient {
  bool configured = false;
  std::deque<std::function<void(Result<AIReply>)>> waiting;
  std::vector<std::string> prompts;
  bool isConfigured() const override { return configured; }
  void complete(std::string task, std::string prompt,
                std::function<void(Result<AIReply>)> done) override {
    EXPECT_EQ(task, "followup_plan");
    prompts.push_back(std::move(prompt));
    waiting.push_back(std::move(done));
  }
  void answer(Result<AIReply> reply) {
    ASSERT_FALSE(waiting.empty());
    auto done = std::move(waiting.front());
    waiting.pop_front();
    done(std::move(reply));
  }
};

AIReply reply(const std::string& subject, std::string provider = "claude") {
  return {"SUBJECT: " + subject + "\n---\nHello,\nthanks.", std::move(provider)};
}

class FollowUpGeneratorTest : public test::StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    ASSERT_OK(store->insert(event));
    sync = std::make_unique<SyncService>(SyncServiceParts{
        *store, pipeline, desktop.settings, desktop.identity, phone, dir.path(), dir / "documents",
        [this](std::chrono::milliseconds, std::function<void()> task) {
          timers.push_back(std::move(task));
        },
        // No snapshots arrive here, so nothing comes back from the ingest thread.
        [](std::function<void()>) {}});
    makeGenerator();
  }
  void makeGenerator() {
    generator.reset();
    generator = std::make_unique<FollowUpGenerator>(
        FollowUpGeneratorParts{*store, desktop.defaults, *sync, endpoint,
                               [this](std::chrono::milliseconds, std::function<void()> task) {
                                 timers.push_back(std::move(task));
                               }});
  }
  Contact metContact(std::string first, MeetingStatus status = MeetingStatus::met) {
    Contact c = Contact::create(std::move(first), "Byron", "Acme", event.id);
    c.status = status;
    EXPECT_OK(store->insert(c));
    return c;
  }
  /// The phone's answer to the last relay request it was sent.
  void phoneAnswers(RelayResponsePayload answer) {
    ASSERT_FALSE(phone.sent.empty());
    auto envelope = SyncEnvelope::make(SyncMessageType::relayAIResponse, answer);
    envelope->correlationID = phone.sent.back().correlationID;
    sync->handleMessage(*envelope);
  }
  std::vector<FollowUpDraft> drafts() { return store->fetch<FollowUpDraft>().value(); }

  Event event = Event::create("Hannover Messe");
  test::DesktopServices desktop{dir.path()};
  PipelineManager pipeline{desktop.defaults};
  FakePhone phone;
  FakeEndpoint endpoint;
  std::vector<std::function<void()>> timers;
  test::LogCapture log{log::sync()};
  std::unique_ptr<SyncService> sync;
  std::unique_ptr<FollowUpGenerator> generator;
};

TEST_F(FollowUpGeneratorTest, TheRelayCarriesThePromptAndItsAnswerBecomesADraft) {
  const Contact ada = metContact("Ada");
  std::optional<Result<Uuid>> result;
  generator->generateFollowUp(ada, event, Tone::warm, std::nullopt,
                              [&](Result<Uuid> r) { result = std::move(r); });
  EXPECT_EQ(generator->generatingDraftForContactID(), ada.id);
  ASSERT_EQ(phone.sent.size(), 1u);
  const SyncEnvelope& request = phone.sent[0];
  EXPECT_EQ(request.type, SyncMessageType::relayAIRequest);
  ASSERT_TRUE(request.correlationID);
  EXPECT_NE(*request.correlationID, request.messageID);
  auto payload = request.decodePayload<RelayRequestPayload>();
  ASSERT_OK(payload);
  EXPECT_EQ(payload->requestType, RelayRequestType::aiGenerate);
  EXPECT_EQ(payload->options, (RelayOptions{{"tone", "warm"}}));
  EXPECT_EQ(payload->contactIDs, std::vector<Uuid>{ada.id});
  EXPECT_THAT(payload->prompt, HasSubstr("Ada Byron at Acme"));

  phoneAnswers({true, "SUBJECT: Pumps\n---\nHello Ada", std::nullopt, "gemini"});
  ASSERT_TRUE(result && result->ok());
  const auto stored = drafts();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].id, **result);
  EXPECT_EQ(stored[0].subject, "Pumps");
  EXPECT_EQ(stored[0].body, "Hello Ada");
  EXPECT_EQ(stored[0].tone, "warm");
  EXPECT_EQ(stored[0].aiProvider, "gemini");
  EXPECT_EQ(generator->lastGeneratedDraftID(), stored[0].id);
  EXPECT_EQ(generator->generatingDraftForContactID(), std::nullopt);
  EXPECT_THAT(log.text(), HasSubstr("Created follow-up draft for Ada Byron: 'Pumps'"));
}

TEST_F(FollowUpGeneratorTest, RelayFailuresEndTheWaitWithTheirTexts) {
  const Contact ada = metContact("Ada");
  auto lastError = [&] { return sync->lastSyncError().value_or(""); };

  generator->generateFollowUp(ada, event, Tone::neutral);
  phoneAnswers({false, std::nullopt, "Quota used up", std::nullopt});
  EXPECT_EQ(lastError(), "Proxy server error: Quota used up");
  generator->generateFollowUp(ada, event, Tone::neutral);
  phoneAnswers({true, std::nullopt, std::nullopt, std::nullopt});
  EXPECT_EQ(lastError(), "Proxy server error: Unknown error generating follow-up");

  // No answer in time: the wait ends, and the late answer finds nobody.
  generator->generateFollowUp(ada, event, Tone::neutral);
  ASSERT_EQ(timers.size(), 3u);
  timers.back()();
  EXPECT_EQ(lastError(), "Proxy server error: Relay request timed out after 60 seconds");
  EXPECT_EQ(sync->pendingRelayCount(), 0u);
  phoneAnswers({true, "late", std::nullopt, std::nullopt});
  EXPECT_THAT(log.text(), HasSubstr("Orphaned relay response"));

  // A full sync gives up on what waits (and then clears the error line).
  generator->generateFollowUp(ada, event, Tone::neutral);
  ASSERT_OK(sync->requestFullSync());
  EXPECT_THAT(log.text(), HasSubstr("Follow-up generation failed: Proxy server error: Relay "
                                    "cancelled — iPhone disconnected"));
  EXPECT_EQ(generator->generatingDraftForContactID(), std::nullopt);
  for (auto& timer : timers) timer();  // time-outs of settled requests do nothing
  EXPECT_EQ(sync->lastSyncError(), std::nullopt);
  EXPECT_TRUE(drafts().empty());
}

TEST_F(FollowUpGeneratorTest, TheEndpointComesFirstAndThePhoneStandsInWhenItFails) {
  const Contact ada = metContact("Ada");
  endpoint.configured = true;
  generator->generateFollowUp(ada, event, Tone::formal);
  EXPECT_TRUE(phone.sent.empty());
  endpoint.answer(Error(ErrorCode::unavailable, "Proxy server error: down"));
  EXPECT_THAT(log.text(), HasSubstr("Direct proxy failed: Proxy server error: down"));
  EXPECT_THAT(log.text(), HasSubstr("Falling back to iPhone relay"));
  phoneAnswers({true, "SUBJECT: Via phone\n---\nBody", std::nullopt, std::nullopt});
  EXPECT_EQ(drafts().at(0).subject, "Via phone");

  // Without the phone the endpoint's error is final; with neither, nothing starts.
  phone.paired = false;
  generator->generateFollowUp(ada, event, Tone::formal);
  endpoint.answer(Error(ErrorCode::unavailable, "Proxy server error: down again"));
  EXPECT_EQ(sync->lastSyncError(), "Proxy server error: down again");
  endpoint.configured = false;
  std::optional<Result<Uuid>> result;
  generator->generateFollowUp(ada, event, Tone::formal, std::nullopt,
                              [&](Result<Uuid> r) { result = std::move(r); });
  const std::string whatToDo =
      "No AI endpoint is set up and the phone is not connected. Set up an AI endpoint in "
      "Settings ▸ AI, pair the phone, or write from a template";
  EXPECT_EQ(sync->lastSyncError(), whatToDo);
  ASSERT_TRUE(result);
  EXPECT_THAT(*result, test::IsError(ErrorCode::failedPrecondition, whatToDo));
  EXPECT_TRUE(endpoint.waiting.empty());
}

TEST_F(FollowUpGeneratorTest, ATemplateWritesADraftAtOnceInTheChosenLanguage) {
  Contact ada = metContact("Ada");
  ada.title = "CTO";
  ASSERT_OK(desktop.settings.set("displayName", "Dana"));
  ASSERT_OK(desktop.settings.set("senderName", "Dana Weber"));
  ASSERT_OK(desktop.settings.set("followUpTemplateWarm",
                                 "Subject: {event}\n\nHi {firstName}, {title}\n\n{myName}"));
  phone.paired = false;

  auto written = generator->writeFromTemplate(ada, event, Tone::warm);
  ASSERT_OK(written);
  FollowUpDraft draft = store->find<FollowUpDraft>(*written).value().value();
  EXPECT_EQ(draft.subject, "Hannover Messe");
  EXPECT_EQ(draft.body, "Hi Ada, CTO\n\nDana Weber");
  EXPECT_EQ(draft.tone, "warm");
  EXPECT_EQ(draft.status, "draft");
  EXPECT_EQ(draft.language, "en");
  EXPECT_EQ(draft.aiProvider, std::nullopt);
  EXPECT_EQ(generator->lastGeneratedDraftID(), draft.id);

  // Written again in French, from the built-in template of another tone.
  ASSERT_OK(desktop.settings.set("appLanguage", "fr"));
  ASSERT_OK(generator->writeFromTemplate(ada, event, Tone::formal, draft.id));
  draft = store->find<FollowUpDraft>(draft.id).value().value();
  EXPECT_EQ(draft.subject, "Suite à notre entretien lors de Hannover Messe");
  EXPECT_EQ(draft.language, "fr");
  EXPECT_EQ(draft.tone, "formal");
  EXPECT_EQ(drafts().size(), 1u);

  // Not while another draft is being written.
  phone.paired = true;
  generator->generateFollowUp(ada, event, Tone::warm);
  EXPECT_THAT(generator->writeFromTemplate(ada, event, Tone::warm),
              test::IsError(ErrorCode::failedPrecondition, HasSubstr("Already generating")));
  EXPECT_EQ(drafts().size(), 1u);
}

TEST_F(FollowUpGeneratorTest, WithNoWayToAnAIABatchIsWrittenFromTheTemplatesAndSaysSo) {
  phone.paired = false;
  std::vector<Contact> met;
  for (int i = 0; i < 12; ++i) met.push_back(metContact("P" + std::to_string(i)));
  bool finished = false;
  generator->generateBatchDrafts(met, event, Tone::neutral, [&] { finished = true; });

  const BatchGenerationState& state = generator->batchGenerationState();
  EXPECT_TRUE(state.generating);
  EXPECT_TRUE(state.fromTemplates);
  EXPECT_EQ(state.total, 10);
  EXPECT_EQ(generator->incompleteBatch(), std::pair(event.id, Tone::neutral));
  EXPECT_THAT(log.text(), HasSubstr("Writing from templates: no AI endpoint is set up and the "
                                    "phone is not connected"));
  EXPECT_EQ(sync->lastSyncError(), std::nullopt);
  EXPECT_TRUE(drafts().empty());  // each contact waits for its own turn of the loop

  for (int i = 0; i < 3; ++i) {
    ASSERT_FALSE(timers.empty());
    auto next = std::exchange(timers, {});
    for (auto& task : next) task();
  }
  EXPECT_EQ(state.completed, 3);
  generator->cancelBatchGeneration();
  for (auto& task : std::exchange(timers, {})) task();  // the one in progress finishes
  EXPECT_TRUE(timers.empty());
  EXPECT_TRUE(finished);
  EXPECT_FALSE(state.generating);
  EXPECT_EQ(state.completed, 4);
  EXPECT_EQ(generator->incompleteBatch(), std::nullopt);

  const auto written = drafts();
  ASSERT_EQ(written.size(), 4u);
  for (const auto& d : written) {
    EXPECT_EQ(d.batchID, state.batchID);
    EXPECT_EQ(d.aiProvider, std::nullopt);
    EXPECT_EQ(d.subject, "Following up from Hannover Messe");
  }
}

TEST_F(FollowUpGeneratorTest, RegeneratingKeepsWhenWhereAndWhichBatchAndReportsAFailedSave) {
  const Contact ada = metContact("Ada");
  endpoint.configured = true;
  FollowUpDraft first{};
  first.id = Uuid::random();
  first.subject = "Old";
  first.language = "de";
  first.status = "dismissed";
  first.generatedAt = now() - 24h;
  first.batchID = Uuid::random();
  first.contactID = ada.id;
  ASSERT_OK(store->insert(first));

  generator->generateFollowUp(ada, event, Tone::warm, first.id);
  // A second request while one runs is turned away.
  generator->generateFollowUp(ada, event, Tone::warm);
  EXPECT_THAT(log.text(), HasSubstr("Already generating a draft — ignoring duplicate request"));
  endpoint.answer(reply("New"));
  ASSERT_EQ(endpoint.waiting.size(), 0u);
  const FollowUpDraft again = store->find<FollowUpDraft>(first.id).value().value();
  EXPECT_EQ(again.subject, "New");
  EXPECT_EQ(again.status, "draft");
  EXPECT_EQ(again.tone, "warm");
  EXPECT_TRUE(again.editedAt);
  EXPECT_EQ(again.generatedAt, first.generatedAt);
  EXPECT_EQ(again.language, "de");
  EXPECT_EQ(again.batchID, first.batchID);
  EXPECT_THAT(log.text(), HasSubstr("Regenerated draft for Ada Byron"));

  // The contact is deleted while its draft is written: the draft is not
  // reported as created.
  const auto before = generator->lastGeneratedDraftID();
  generator->generateFollowUp(ada, event, Tone::warm);
  ASSERT_OK(store->remove<Contact>(ada.id));
  endpoint.answer(reply("Lost"));
  EXPECT_EQ(generator->lastGeneratedDraftID(), before);
  EXPECT_THAT(sync->lastSyncError().value_or(""),
              HasSubstr("Could not save the draft for Ada Byron"));
}

TEST_F(FollowUpGeneratorTest, ABatchTakesTenAndAnInterruptedOneResumesWithTheRest) {
  endpoint.configured = true;
  phone.paired = false;
  std::vector<Contact> met;
  for (int i = 0; i < 14; ++i) met.push_back(metContact("P" + std::to_string(i)));
  metContact("NotMet", MeetingStatus::notMet);
  FollowUpDraft dismissed{};
  dismissed.id = Uuid::random();
  dismissed.status = "dismissed";
  dismissed.contactID = metContact("Dismissed").id;
  ASSERT_OK(store->insert(dismissed));

  auto qualifying = generator->contactsNeedingDrafts(event);
  ASSERT_OK(qualifying);
  ASSERT_EQ(qualifying->size(), 14u);
  EXPECT_EQ(FollowUpGenerator::batchLabel(14), "Generate for 10 of 14 contacts");
  EXPECT_EQ(FollowUpGenerator::batchLabel(1), "Generate for 1 contact");

  generator->generateBatchDrafts(*qualifying, event, Tone::neutral);
  const BatchGenerationState& state = generator->batchGenerationState();
  EXPECT_TRUE(state.generating);
  EXPECT_EQ(state.total, 10);
  EXPECT_EQ(generator->incompleteBatch(), std::pair(event.id, Tone::neutral));
  generator->generateBatchDrafts(*qualifying, event, Tone::neutral);
  EXPECT_THAT(log.text(), HasSubstr("Already generating drafts — ignoring batch request"));

  endpoint.answer(reply("One"));
  endpoint.answer(Error(ErrorCode::unavailable, "Proxy server error: busy"));
  ASSERT_OK(store->remove<Contact>(met[2].id));  // gone before its draft is written
  endpoint.answer(reply("Three"));
  EXPECT_EQ(state.completed, 1);
  EXPECT_EQ(state.failed, 2);
  EXPECT_EQ(state.currentContactName, "P3 Byron");
  EXPECT_THAT(log.text(), HasSubstr("Batch draft failed for P1 Byron: Proxy server error: busy"));

  // Quitting now leaves the marker; the next start resumes with who is left.
  makeGenerator();
  endpoint.waiting.clear();
  ASSERT_EQ(generator->contactsNeedingDrafts(event)->size(), 12u);
  generator->resumeIncompleteBatch();
  EXPECT_THAT(log.text(), HasSubstr("Resuming batch: 12 remaining for 'Hannover Messe'"));
  for (int i = 0; i < 10; ++i) endpoint.answer(reply("Draft " + std::to_string(i)));
  EXPECT_FALSE(generator->batchGenerationState().generating);
  EXPECT_EQ(generator->incompleteBatch(), std::nullopt);
  EXPECT_THAT(log.text(), HasSubstr("Batch generation complete: 10 succeeded, 0 failed out of 10"));
  EXPECT_EQ(generator->contactsNeedingDrafts(event)->size(), 2u);
}

TEST_F(FollowUpGeneratorTest, CancellingStopsBeforeTheNextContact) {
  endpoint.configured = true;
  std::vector<Contact> met;
  for (int i = 0; i < 10; ++i) met.push_back(metContact("P" + std::to_string(i)));
  generator->generateBatchDrafts(met, event, Tone::formal);
  endpoint.answer(reply("1"));
  endpoint.answer(reply("2"));
  generator->cancelBatchGeneration();
  EXPECT_EQ(generator->incompleteBatch(), std::nullopt);
  endpoint.answer(reply("3"));  // the one in progress finishes
  EXPECT_TRUE(endpoint.waiting.empty());
  EXPECT_FALSE(generator->batchGenerationState().generating);
  const auto written = drafts();
  ASSERT_EQ(written.size(), 3u);
  for (const auto& d : written) EXPECT_EQ(d.batchID, generator->batchGenerationState().batchID);
  EXPECT_THAT(log.text(), HasSubstr("Batch generation cancelled after 3 of 10"));
}

TEST_F(FollowUpGeneratorTest, AMarkerWithAnUnknownToneIsNoMarker) {
  ASSERT_OK(desktop.defaults.set(std::string(FollowUpGenerator::kMarkerEventKey), event.id.str()));
  ASSERT_OK(
      desktop.defaults.set(std::string(FollowUpGenerator::kMarkerToneKey), std::string("sly")));
  EXPECT_EQ(generator->incompleteBatch(), std::nullopt);
}

}  // namespace
}  // namespace qm
