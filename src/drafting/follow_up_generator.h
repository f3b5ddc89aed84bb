#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "common/signal.h"
#include "common/uuid.h"
#include "drafting/completion_client.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/record_enums.h"
#include "sync/sync_service.h"

namespace qm {

class Store;
class UserDefaults;

/// Where a batch of drafts stands; `generating` while one runs.
struct BatchGenerationState {
  bool generating = false;
  Uuid batchID;
  std::int64_t total = 0;
  std::int64_t completed = 0;
  std::int64_t failed = 0;
  std::string currentContactName;
  /// Written from the templates, as neither the AI endpoint nor the phone
  /// could write it.
  bool fromTemplates = false;
  friend bool operator==(const BatchGenerationState&, const BatchGenerationState&) = default;
};

/// What the generator works with; all of it outlives the generator.
struct FollowUpGeneratorParts {
  Store& store;
  UserDefaults& defaults;
  SyncService& sync;
  CompletionClient& endpoint;
  /// Runs a task on the main loop after a delay (the relay's time-out).
  Scheduler schedule;
  /// The ICU locale the prompt writes the meeting date in (empty: this
  /// computer's).
  std::string locale = "en_US";
  std::chrono::milliseconds relayTimeout{60'000};
};

/// Writes follow-up e-mail drafts: the text comes from the AI endpoint when
/// one is configured, else (or when it fails) from the paired phone over the
/// relay, or, when asked or when neither can write a batch, from the tone's
/// template. One draft at a time, or a batch of at most ten contacts of an
/// event, one after another; a batch leaves a marker in the user defaults while
/// it runs so that one cut short by quitting resumes at the next start.
///
/// Confined to the main loop; `changed()` fires whenever the observed state
/// changes, and errors the user should see go to the sync service's
/// `lastSyncError`.
class FollowUpGenerator {
 public:
  static constexpr std::size_t kBatchLimit = 10;
  /// Why no draft can be written by an AI, and what to do.
  static constexpr std::string_view kNoRoute =
      "No AI endpoint is set up and the phone is not connected. Set up an AI endpoint in "
      "Settings ▸ AI, pair the phone, or write from a template";
  /// What a batch written from the templates says in its progress.
  static constexpr std::string_view kFromTemplatesNotice =
      "Writing from templates: no AI endpoint is set up and the phone is not connected";
  static constexpr std::string_view kMarkerEventKey = "qlm.incompleteBatch.eventID";
  static constexpr std::string_view kMarkerToneKey = "qlm.incompleteBatch.tone";

  explicit FollowUpGenerator(FollowUpGeneratorParts parts);
  ~FollowUpGenerator();
  FollowUpGenerator(const FollowUpGenerator&) = delete;
  FollowUpGenerator& operator=(const FollowUpGenerator&) = delete;

  const BatchGenerationState& batchGenerationState() const { return batch_; }
  const std::optional<Uuid>& generatingDraftForContactID() const { return generatingFor_; }
  const std::optional<Uuid>& lastGeneratedDraftID() const { return lastGeneratedDraftID_; }
  Signal<>& changed() { return changed_; }

  /// Sends `prompt` to the phone and waits for its answer, at most the relay
  /// time-out. `done` runs exactly once.
  void relayAIRequest(const std::string& prompt, Tone tone, const std::vector<Uuid>& contactIDs,
                      std::function<void(Result<AIReply>)> done);
  /// The AI endpoint when configured (falling back to the relay when it fails
  /// and the phone is paired), else the relay.
  void generateDraftText(const std::string& prompt, Tone tone, const std::vector<Uuid>& contactIDs,
                         std::function<void(Result<AIReply>)> done);

  /// Writes one draft for `contact` (replacing `existingDraftID`'s text when
  /// given and still there). `done`, when given, gets the draft's id or why
  /// there is none.
  void generateFollowUp(const Contact& contact, const Event& event, Tone tone,
                        std::optional<Uuid> existingDraftID = std::nullopt,
                        std::function<void(Result<Uuid>)> done = {});

  /// Writes one draft for `contact` from the tone's template at once
  /// (replacing `existingDraftID`'s text when given): the user's template, or
  /// the built-in one of the draft's language (the `appLanguage` setting).
  /// Returns the draft's id, or why there is none (another draft is being
  /// written, the store failed).
  Result<Uuid> writeFromTemplate(const Contact& contact, const Event& event, Tone tone,
                                 std::optional<Uuid> existingDraftID = std::nullopt);

  /// Stores a generated draft: a new one, or the text of `existingDraftID`
  /// replaced (its generation time and batch kept). Its language is
  /// `language` when given; else a new draft's is English and a replaced
  /// one's stays. Returns its id.
  Result<Uuid> saveFollowUpDraft(const std::string& subject, const std::string& body,
                                 const std::optional<std::string>& provider, Tone tone,
                                 const Contact& contact, const std::optional<Uuid>& existingDraftID,
                                 const std::optional<std::string>& language = std::nullopt);

  /// Drafts for the first ten of `contacts`, one after another; from the
  /// templates when neither the AI endpoint nor the phone can write (each
  /// contact then in a turn of the main loop of its own, so a cancel comes in
  /// between). `done`, when given, runs when the batch ends (or at once when
  /// it does not start).
  void generateBatchDrafts(const std::vector<Contact>& contacts, const Event& event, Tone tone,
                           std::function<void()> done = {});
  /// Stops a running batch before its next contact.
  void cancelBatchGeneration();

  /// The event and tone of a batch that did not finish.
  std::optional<std::pair<Uuid, Tone>> incompleteBatch() const;
  /// The event's met contacts without any draft, in stored order.
  Result<std::vector<Contact>> contactsNeedingDrafts(const Event& event);
  /// Continues the batch a marker names with the contacts still without a
  /// draft (run at start-up).
  void resumeIncompleteBatch(std::function<void()> done = {});

  /// The bulk action's label for `qualifying` contacts.
  static std::string batchLabel(std::size_t qualifying);

 private:
  struct BatchRun;

  /// A draft's text and where it came from, before it is stored.
  struct WrittenText {
    std::string subject;
    std::string body;
    std::optional<std::string> provider;
    std::string language;
  };

  bool hasRoute() const;
  Result<std::string> promptFor(const Contact& contact, const Event& event, Tone tone);
  Result<WrittenText> templateText(const Contact& contact, const Event& event, Tone tone);
  void nextInBatch(std::shared_ptr<BatchRun> run);
  void finishBatch(std::shared_ptr<BatchRun> run);
  void removeMarker();
  void notify() { changed_.emit(); }

  FollowUpGeneratorParts parts_;
  BatchGenerationState batch_;
  bool batchCancelled_ = false;
  std::optional<Uuid> generatingFor_;
  std::optional<Uuid> lastGeneratedDraftID_;
  Signal<> changed_;
  // Lets answers and timers that arrive after destruction do nothing.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qm
