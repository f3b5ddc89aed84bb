#include "drafting/follow_up_generator.h"

#include <algorithm>
#include <unordered_set>

#include "common/log.h"
#include "common/text.h"
#include "drafting/follow_up_prompt.h"
#include "drafting/follow_up_template.h"
#include "settings/app_settings.h"
#include "settings/effective_language.h"
#include "settings/follow_up_template_defaults.h"
#include "settings/user_defaults.h"
#include "store/contact_note.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm {

namespace {

constexpr std::string_view kFollowUpTask = "followup_plan";
constexpr std::string_view kBusy = "Already generating a draft — ignoring duplicate request";

/// The errors the relay raises, worded as the endpoint client words its own.
Error serverError(std::string_view what) {
  return Error(ErrorCode::unavailable, "Proxy server error: " + std::string(what));
}

}  // namespace

/// One batch in progress: what it works through and how far it got.
struct FollowUpGenerator::BatchRun {
  std::vector<Contact> contacts;
  Event event;
  Tone tone;
  std::size_t next = 0;
  std::function<void()> done;
};

FollowUpGenerator::FollowUpGenerator(FollowUpGeneratorParts parts) : parts_(std::move(parts)) {}

FollowUpGenerator::~FollowUpGenerator() {
  *alive_ = false;
}

bool FollowUpGenerator::hasRoute() const {
  return parts_.sync.isPaired() || parts_.endpoint.isConfigured();
}

void FollowUpGenerator::relayAIRequest(const std::string& prompt, Tone tone,
                                       const std::vector<Uuid>& contactIDs,
                                       std::function<void(Result<AIReply>)> done) {
  if (!parts_.sync.isPaired()) return done(serverError("Cannot relay: iPhone not connected"));
  const Uuid key = Uuid::random();
  RelayRequestPayload payload{RelayRequestType::aiGenerate, std::nullopt, prompt,
                              RelayOptions{{"tone", std::string(rawValue(tone))}}, contactIDs};
  auto envelope = SyncEnvelope::make(SyncMessageType::relayAIRequest, payload);
  if (!envelope) return done(envelope.error());
  envelope->correlationID = key;

  // The answer and the time-out race; whichever comes first settles `done`.
  auto settle = std::make_shared<std::function<void(Result<AIReply>)>>(std::move(done));
  parts_.sync.expectRelayResponse(key, [settle](const RelayResponsePayload& answer) {
    auto finish = std::exchange(*settle, nullptr);
    if (!finish) return;
    if (answer.success && answer.content) return finish(AIReply{*answer.content, answer.provider});
    finish(serverError(answer.errorMessage.value_or("Unknown error generating follow-up")));
  });
  parts_.sync.sendOrQueue(*envelope);
  parts_.schedule(parts_.relayTimeout, [this, alive = alive_, settle, key] {
    if (!*alive || !*settle) return;
    parts_.sync.forgetRelay(key);
    std::exchange(*settle, nullptr)(serverError("Relay request timed out after " +
                                                std::to_string(parts_.relayTimeout.count() / 1000) +
                                                " seconds"));
  });
}

void FollowUpGenerator::generateDraftText(const std::string& prompt, Tone tone,
                                          const std::vector<Uuid>& contactIDs,
                                          std::function<void(Result<AIReply>)> done) {
  if (!parts_.endpoint.isConfigured())
    return relayAIRequest(prompt, tone, contactIDs, std::move(done));
  parts_.endpoint.complete(std::string(kFollowUpTask), prompt,
                           [this, alive = alive_, prompt, tone, contactIDs,
                            done = std::move(done)](Result<AIReply> reply) mutable {
                             if (!*alive) return;
                             if (reply) return done(std::move(reply));
                             log::sync().error("Direct proxy failed: {}", reply.error().message);
                             if (!parts_.sync.isPaired()) return done(std::move(reply));
                             log::sync().info("Falling back to iPhone relay");
                             relayAIRequest(prompt, tone, contactIDs, std::move(done));
                           });
}

Result<std::string> FollowUpGenerator::promptFor(const Contact& contact, const Event& event,
                                                 Tone tone) {
  const auto notes = QM_TRY(notesOf(parts_.store, contact.id));
  const auto opportunities = QM_TRY(opportunitiesOf(parts_.store, event.id));
  return buildFollowUpPrompt({contact, event, notes, opportunities}, tone, parts_.locale);
}

void FollowUpGenerator::generateFollowUp(const Contact& contact, const Event& event, Tone tone,
                                         std::optional<Uuid> existingDraftID,
                                         std::function<void(Result<Uuid>)> done) {
  if (!done) done = [](Result<Uuid>) {};
  if (!hasRoute()) {
    parts_.sync.reportError(std::string(kNoRoute));
    return done(Error(ErrorCode::failedPrecondition, std::string(kNoRoute)));
  }
  if (generatingFor_ || batch_.generating) {
    log::sync().error("{}", kBusy);
    return done(Error(ErrorCode::failedPrecondition, std::string(kBusy)));
  }
  auto failed = [this](const Error& error) {
    log::sync().error("Follow-up generation failed: {}", error.message);
    parts_.sync.reportError(error.message);
  };
  auto prompt = promptFor(contact, event, tone);
  if (!prompt) {
    failed(prompt.error());
    return done(prompt.error());
  }
  generatingFor_ = contact.id;
  notify();
  generateDraftText(
      *prompt, tone, {contact.id},
      [this, alive = alive_, contact, tone, existingDraftID, failed,
       done = std::move(done)](Result<AIReply> reply) {
        if (!*alive) return;
        Result<Uuid> saved = [&]() -> Result<Uuid> {
          if (!reply) return reply.error();
          const auto [subject, body] = parseFollowUpReply(reply->text, contact.fullName());
          return saveFollowUpDraft(subject, body, reply->provider, tone, contact, existingDraftID);
        }();
        if (!saved) failed(saved.error());
        generatingFor_.reset();
        notify();
        done(std::move(saved));
      });
}

Result<FollowUpGenerator::WrittenText> FollowUpGenerator::templateText(const Contact& contact,
                                                                       const Event& event,
                                                                       Tone tone) {
  const AppSettings settings(parts_.defaults);
  const AppLanguage language = effectiveLanguage(settings.appLanguage());
  const auto notes = QM_TRY(notesOf(parts_.store, contact.id));
  const std::vector<Opportunity> noOpportunities;  // templates do not name them
  const std::string sender = settings.senderName();
  const std::string myName =
      trimUnicodeWhitespace(sender).empty() ? settings.displayName() : sender;
  const TemplateValues values =
      followUpTemplateValues({contact, event, notes, noOpportunities}, myName, language);
  auto written = QM_TRY(renderFollowUpTemplate(
      followUpTemplateText(settings, rawValue(tone), language), values, language));
  return WrittenText{std::move(written.subject), std::move(written.body), std::nullopt,
                     std::string(rawValue(language))};
}

Result<Uuid> FollowUpGenerator::writeFromTemplate(const Contact& contact, const Event& event,
                                                  Tone tone, std::optional<Uuid> existingDraftID) {
  if (generatingFor_ || batch_.generating) {
    log::sync().error("{}", kBusy);
    return Error(ErrorCode::failedPrecondition, std::string(kBusy));
  }
  auto text = templateText(contact, event, tone);
  Result<Uuid> saved = text ? saveFollowUpDraft(text->subject, text->body, text->provider, tone,
                                                contact, existingDraftID, text->language)
                            : Result<Uuid>(text.error());
  if (!saved) {
    log::sync().error("Follow-up from the template failed: {}", saved.error().message);
    parts_.sync.reportError(saved.error().message);
  }
  return saved;
}

Result<Uuid> FollowUpGenerator::saveFollowUpDraft(const std::string& subject,
                                                  const std::string& body,
                                                  const std::optional<std::string>& provider,
                                                  Tone tone, const Contact& contact,
                                                  const std::optional<Uuid>& existingDraftID,
                                                  const std::optional<std::string>& language) {
  Store& store = parts_.store;
  const std::string name = contact.fullName();
  // A draft that could not be stored is reported as such, never as written.
  auto notSaved = [&](const Error& error) {
    return Error(error.code, "Could not save the draft for " + name + ": " + error.message);
  };
  std::optional<FollowUpDraft> existing;
  if (existingDraftID) {
    auto found = store.find<FollowUpDraft>(*existingDraftID);
    if (!found) return notSaved(found.error());
    existing = std::move(*found);
  }
  if (existing) {
    existing->subject = subject;
    existing->body = body;
    existing->tone = std::string(rawValue(tone));
    existing->aiProvider = provider;
    if (language) existing->language = *language;
    existing->editedAt = now();
    existing->status = "draft";
    if (Status status = store.update(*existing); !status) return notSaved(status.error());
    lastGeneratedDraftID_ = existing->id;
    log::sync().info("Regenerated draft for {}", name);
  } else {
    FollowUpDraft draft{};
    draft.id = Uuid::random();
    draft.subject = subject;
    draft.body = body;
    draft.tone = std::string(rawValue(tone));
    draft.language = language.value_or("en");
    draft.status = "draft";
    draft.aiProvider = provider;
    draft.generatedAt = now();
    draft.contactID = contact.id;
    if (Status status = store.insert(draft); !status) return notSaved(status.error());
    lastGeneratedDraftID_ = draft.id;
    log::sync().info("Created follow-up draft for {}: '{}'", name, subject);
  }
  notify();
  return *lastGeneratedDraftID_;
}

void FollowUpGenerator::generateBatchDrafts(const std::vector<Contact>& contacts,
                                            const Event& event, Tone tone,
                                            std::function<void()> done) {
  if (!done) done = [] {};
  if (batch_.generating || generatingFor_) {
    log::sync().error("Already generating drafts — ignoring batch request");
    return done();
  }
  if (contacts.empty()) return done();
  const bool fromTemplates = !hasRoute();
  auto run = std::make_shared<BatchRun>();
  run->contacts.assign(contacts.begin(), contacts.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                contacts.size(), kBatchLimit)));
  run->event = event;
  run->tone = tone;
  run->done = std::move(done);

  batchCancelled_ = false;
  Status marked = parts_.defaults.set(std::string(kMarkerEventKey), event.id.str());
  if (marked)
    marked = parts_.defaults.set(std::string(kMarkerToneKey), std::string(rawValue(tone)));
  if (!marked)
    log::sync().error("Could not record the batch for resuming: {}", marked.error().message);
  batch_ = BatchGenerationState{true,
                                Uuid::random(),
                                static_cast<std::int64_t>(run->contacts.size()),
                                0,
                                0,
                                run->contacts.front().fullName(),
                                fromTemplates};
  log::sync().info("Starting batch draft generation: {} contacts, batchID={}", batch_.total,
                   batch_.batchID.str());
  if (fromTemplates) log::sync().info("{}", kFromTemplatesNotice);
  notify();
  nextInBatch(std::move(run));
}

void FollowUpGenerator::nextInBatch(std::shared_ptr<BatchRun> run) {
  if (run->next == run->contacts.size()) return finishBatch(std::move(run));
  if (batchCancelled_) {
    log::sync().info("Batch generation cancelled after {} of {}", run->next, batch_.total);
    return finishBatch(std::move(run));
  }
  const Contact& contact = run->contacts[run->next];
  batch_.currentContactName = contact.fullName();
  notify();
  auto outcome = [this, alive = alive_, run](Result<WrittenText> text) {
    if (!*alive) return;
    const Contact& c = run->contacts[run->next];
    const std::string name = c.fullName();
    Status written = [&]() -> Status {
      if (!text) return text.error();
      FollowUpDraft draft{};
      draft.id = Uuid::random();
      draft.subject = text->subject;
      draft.body = text->body;
      draft.tone = std::string(rawValue(run->tone));
      draft.language = text->language;
      draft.status = "draft";
      draft.aiProvider = text->provider;
      draft.generatedAt = now();
      draft.batchID = batch_.batchID;
      draft.contactID = c.id;
      if (Status saved = parts_.store.insert(draft); !saved)
        return Error(saved.error().code,
                     "Could not save the draft for " + name + ": " + saved.error().message);
      log::sync().info("Batch draft created for {}: '{}'", name, text->subject);
      return {};
    }();
    if (written) {
      ++batch_.completed;
    } else {
      ++batch_.failed;
      log::sync().error("Batch draft failed for {}: {}", name, written.error().message);
    }
    ++run->next;
    notify();
    nextInBatch(run);
  };
  if (batch_.fromTemplates) {
    parts_.schedule(std::chrono::milliseconds(0), [this, alive = alive_, run, outcome] {
      if (!*alive) return;
      const Contact& c = run->contacts[run->next];
      outcome(templateText(c, run->event, run->tone));
    });
    return;
  }
  auto prompt = promptFor(contact, run->event, run->tone);
  if (!prompt) return outcome(prompt.error());
  generateDraftText(
      *prompt, run->tone, {contact.id},
      [outcome, name = contact.fullName()](Result<AIReply> reply) {
        if (!reply) return outcome(reply.error());
        auto [subject, body] = parseFollowUpReply(reply->text, name);
        outcome(WrittenText{std::move(subject), std::move(body), reply->provider, "en"});
      });
}

void FollowUpGenerator::finishBatch(std::shared_ptr<BatchRun> run) {
  removeMarker();
  log::sync().info("Batch generation complete: {} succeeded, {} failed out of {}", batch_.completed,
                   batch_.failed, batch_.total);
  batch_.generating = false;
  batch_.currentContactName.clear();
  batchCancelled_ = false;
  notify();
  if (run->done) run->done();
}

void FollowUpGenerator::cancelBatchGeneration() {
  if (!batch_.generating) return;
  batchCancelled_ = true;
  removeMarker();
  log::sync().info("Batch generation cancellation requested");
  notify();
}

void FollowUpGenerator::removeMarker() {
  for (auto key : {kMarkerEventKey, kMarkerToneKey}) {
    if (Status removed = parts_.defaults.remove(key); !removed)
      log::sync().error("Could not remove {}: {}", key, removed.error().message);
  }
}

std::optional<std::pair<Uuid, Tone>> FollowUpGenerator::incompleteBatch() const {
  const auto event = parts_.defaults.string(kMarkerEventKey);
  const auto tone = parts_.defaults.string(kMarkerToneKey);
  if (!event || !tone) return std::nullopt;
  const auto id = Uuid::parse(*event);
  const auto parsed = parseEnum<Tone>(*tone);
  if (!id || !parsed) return std::nullopt;
  return std::pair{*id, *parsed};
}

Result<std::vector<Contact>> FollowUpGenerator::contactsNeedingDrafts(const Event& event) {
  std::unordered_set<Uuid> drafted;
  for (const auto& draft : QM_TRY(parts_.store.fetchOnly<FollowUpDraft>({"contactID"})))
    if (draft.contactID) drafted.insert(*draft.contactID);
  std::vector<Contact> contacts = QM_TRY(contactsOf(parts_.store, event.id));
  std::erase_if(contacts, [&](const Contact& c) {
    return c.status != MeetingStatus::met || drafted.contains(c.id);
  });
  return contacts;
}

void FollowUpGenerator::resumeIncompleteBatch(std::function<void()> done) {
  if (!done) done = [] {};
  const auto marker = incompleteBatch();
  if (!marker) return done();
  const auto [eventID, tone] = *marker;
  auto event = parts_.store.find<Event>(eventID);
  if (!event) {
    log::sync().error("Could not resume the batch: {}", event.error().message);
    return done();
  }
  if (!*event) {
    removeMarker();
    return done();
  }
  auto remaining = contactsNeedingDrafts(**event);
  if (!remaining) {
    log::sync().error("Could not resume the batch: {}", remaining.error().message);
    return done();
  }
  if (remaining->empty()) {
    removeMarker();
    return done();
  }
  if (!hasRoute()) return done();  // the marker stays for a later start
  log::sync().info("Resuming batch: {} remaining for '{}'", remaining->size(), (*event)->name);
  generateBatchDrafts(*remaining, **event, tone, std::move(done));
}

std::string FollowUpGenerator::batchLabel(std::size_t qualifying) {
  if (qualifying > kBatchLimit)
    return "Generate for " + std::to_string(kBatchLimit) + " of " + std::to_string(qualifying) +
           " contacts";
  return "Generate for " + std::to_string(qualifying) +
         (qualifying == 1 ? " contact" : " contacts");
}

}  // namespace qm
