#include "app/drafting_module.h"

#include <algorithm>
#include <asio.hpp>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "app/control_server.h"
#include "app/request_records.h"
#include "app/sync_module.h"
#include "common/text.h"
#include "drafting/follow_up_generator.h"
#include "drafting/mac_proxy_service.h"
#include "settings/app_settings.h"
#include "settings/keychain_store.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/relationships.h"
#include "store/store.h"
#include "ui/bulk_actions.h"

namespace qm {

namespace {

/// The contacts of a list's selection ("contactIDs") that a batch takes: the
/// selected ones in the event's stored order, at most the first ten.
Result<std::vector<Contact>> selectedForDrafts(Store& store, const Event& event,
                                               const nlohmann::json& request) {
  const auto& ids = request["contactIDs"];
  if (!ids.is_array() || ids.empty())
    return Error(ErrorCode::invalidArgument, "contactIDs must name at least one contact");
  ContactListState state;
  for (const auto& value : ids) {
    const auto id = value.is_string() ? Uuid::parse(value.get<std::string>()) : std::nullopt;
    if (!id) return Error(ErrorCode::invalidArgument, "Not a contact id: " + value.dump());
    state.selection.insert(*id);
  }
  std::vector<Contact> eventContacts = QM_TRY(contactsOf(store, event.id));
  const std::vector<Uuid> chosen = generateDraftsForSelection(eventContacts, state);
  std::vector<Contact> contacts;
  for (const Uuid& id : chosen) {
    auto it = std::find_if(eventContacts.begin(), eventContacts.end(),
                           [&](const Contact& c) { return c.id == id; });
    contacts.push_back(std::move(*it));
  }
  if (contacts.empty())
    return Error(ErrorCode::notFound, "None of the selected contacts belongs to " + event.name);
  return contacts;
}

/// The "tone" of a request: warm, neutral (the default) or formal.
Result<Tone> toneIn(const nlohmann::json& request) {
  const auto value = request.find("tone");
  if (value == request.end() || value->is_null()) return Tone::neutral;
  if (value->is_string()) {
    if (auto tone = parseEnum<Tone>(value->get_ref<const std::string&>())) return *tone;
  }
  return Error(ErrorCode::invalidArgument,
               "The tone must be warm, neutral or formal, not " + value->dump());
}

/// Whether a request asks for its draft to be written from the template
/// ("template": true).
Result<bool> fromTemplateIn(const nlohmann::json& request) {
  const auto value = request.find("template");
  if (value == request.end() || value->is_null()) return false;
  if (!value->is_boolean())
    return Error(ErrorCode::invalidArgument,
                 "template must be true or false, not " + value->dump());
  return value->get<bool>();
}

nlohmann::json batchJSON(const BatchGenerationState& state) {
  nlohmann::json json = {{"batchID", state.batchID.str()},
                         {"total", state.total},
                         {"completed", state.completed},
                         {"failed", state.failed},
                         {"currentContactName", state.currentContactName},
                         {"fromTemplates", state.fromTemplates}};
  if (state.fromTemplates) json["notice"] = FollowUpGenerator::kFromTemplatesNotice;
  return json;
}

/// What "drafts.generate" answers for the stored draft `id`.
nlohmann::json draftJSON(Store& store, const Uuid& id) {
  nlohmann::json result = {{"draftID", id.str()}};
  auto stored = store.find<FollowUpDraft>(id);
  if (stored && *stored) {
    result["subject"] = (*stored)->subject;
    result["body"] = (*stored)->body;
    result["language"] = (*stored)->language;
    if ((*stored)->aiProvider) result["aiProvider"] = *(*stored)->aiProvider;
  }
  return result;
}

/// The endpoint settings as the "ai.*" commands answer them.
nlohmann::json endpointJSON(AppSettings& settings, KeychainStore& keychain,
                            const MacProxyService& endpoint) {
  const auto token = keychain.load(kAIEndpointTokenKey);
  return {{"endpoint", settings.aiEndpoint()},
          {"endpointKind", std::string(rawValue(settings.aiEndpointKind()))},
          {"model", settings.aiModel()},
          {"credential", token && !token->empty()},
          {"configured", endpoint.isConfigured()}};
}

/// Checks the text members of an "ai.login" request before anything is kept.
Status checkLogin(const nlohmann::json& request) {
  for (const char* key : {"endpoint", "endpointKind", "model", "token"}) {
    const auto value = request.find(key);
    if (value != request.end() && !value->is_string())
      return Error(ErrorCode::invalidArgument, std::string(key) + " must be text");
  }
  for (const char* key : {"endpoint", "endpointKind"})
    if (!request.contains(key))
      return Error(ErrorCode::invalidArgument, "ai.login needs \"" + std::string(key) + "\"");
  const std::string endpoint = request["endpoint"];
  QM_TRY(AppSettings::validate("aiEndpoint", endpoint));
  QM_TRY(checkAIEndpoint(endpoint));
  QM_TRY(AppSettings::validate("aiEndpointKind", request["endpointKind"].get<std::string>()));
  if (request.contains("model"))
    QM_TRY(AppSettings::validate("aiModel", request["model"].get<std::string>()));
  if (const auto token = request.find("token"); token != request.end()) {
    for (const char c : token->get_ref<const std::string&>()) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte == 0x7f)
        return Error(ErrorCode::invalidArgument, "The token contains control characters");
    }
  }
  return {};
}

}  // namespace

DraftingModule::DraftingModule(CompanionContext context, SyncModule& sync)
    : context_(context), sync_(sync) {}

DraftingModule::~DraftingModule() {
  stop();
}

Status DraftingModule::start() {
  QuillmereMacApp& app = context_.app;
  asio::io_context& io = context_.io;
  endpoint_ = std::make_unique<MacProxyService>(
      app.settings(), app.keychain(),
      [&io](std::function<void()> task) { asio::post(io, std::move(task)); });
  Scheduler schedule = [&io](std::chrono::milliseconds delay, std::function<void()> task) {
    auto timer = std::make_shared<asio::steady_timer>(io, delay);
    timer->async_wait([timer, task = std::move(task)](std::error_code) { task(); });
  };
  generator_ = std::make_unique<FollowUpGenerator>(FollowUpGeneratorParts{
      app.store(), app.defaults(), sync_.service(), *endpoint_, std::move(schedule), ""});
  generatorSubscription_ = generator_->changed().subscribe([this] { reportBatchProgress(); });
  syncSubscription_ = sync_.service().changed().subscribe([this] {
    const bool paired = sync_.service().isPaired();
    if (paired && !std::exchange(wasPaired_, paired)) resumeWhenPossible();
    wasPaired_ = paired;
  });
  wasPaired_ = sync_.service().isPaired();
  resumeWhenPossible();
  return {};
}

void DraftingModule::stop() {
  if (batchReply_) std::exchange(batchReply_, {})->fail("Quillmere is stopping");
  syncSubscription_.reset();
  generatorSubscription_.reset();
  generator_.reset();
  endpoint_.reset();
}

void DraftingModule::addStatus(nlohmann::json& status) const {
  if (!generator_) return;
  const BatchGenerationState& batch = generator_->batchGenerationState();
  if (batch.generating) status["batchGeneration"] = batchJSON(batch);
  if (const auto& contact = generator_->generatingDraftForContactID())
    status["generatingDraftForContactID"] = contact->str();
  if (const auto marker = generator_->incompleteBatch())
    status["incompleteBatchEventID"] = marker->first.str();
  if (resumed_ && batch.generating && std::get<0>(*resumed_) == batch.batchID)
    status["resumedBatch"] = {{"batchID", batch.batchID.str()},
                              {"eventName", std::get<1>(*resumed_)},
                              {"remaining", std::get<2>(*resumed_)}};
  status["aiEndpointConfigured"] = endpoint_->isConfigured();
  const auto token = context_.app.keychain().load(kAIEndpointTokenKey);
  status["aiCredentialStored"] = token && !token->empty();
}

void DraftingModule::resumeWhenPossible() {
  const BatchGenerationState& batch = generator_->batchGenerationState();
  if (batch.generating || generator_->generatingDraftForContactID() ||
      !generator_->incompleteBatch())
    return;
  // What the resumed batch starts from, so that a window can say it resumed.
  std::optional<std::pair<std::string, std::size_t>> from;
  if (auto event = context_.app.store().find<Event>(generator_->incompleteBatch()->first);
      event && *event) {
    if (auto remaining = generator_->contactsNeedingDrafts(**event))
      from.emplace((*event)->name, remaining->size());
  }
  generator_->resumeIncompleteBatch();
  if (from && batch.generating)
    resumed_.emplace(batch.batchID, std::move(from->first), from->second);
}

void DraftingModule::reportBatchProgress() {
  if (!batchReply_) return;
  const BatchGenerationState& batch = generator_->batchGenerationState();
  if (batch.generating) batchReply_->progress(batchJSON(batch));
}

void DraftingModule::registerCommands(ControlServer& control) {
  registerEndpointCommands(control);
  control.handle("drafts.generate", [this](const nlohmann::json& request,
                                           std::shared_ptr<ControlReply> reply) {
    Store& store = context_.app.store();
    auto contact = recordIn<Contact>(store, request, "contactID", "contact");
    if (!contact) return reply->fail(contact.error().message);
    if (!contact->eventID) return reply->fail(contact->fullName() + " belongs to no event");
    auto event = existing<Event>(store, *contact->eventID, "event");
    auto tone = toneIn(request);
    auto fromTemplate = fromTemplateIn(request);
    if (!event) return reply->fail(event.error().message);
    if (!tone) return reply->fail(tone.error().message);
    if (!fromTemplate) return reply->fail(fromTemplate.error().message);
    std::optional<Uuid> regenerate;
    if (request.contains("regenerate")) {
      auto draft = recordIn<FollowUpDraft>(store, request, "regenerate", "draft");
      if (!draft) return reply->fail(draft.error().message);
      regenerate = draft->id;
    }
    if (*fromTemplate) {
      auto draft = generator_->writeFromTemplate(*contact, *event, *tone, regenerate);
      if (!draft) return reply->fail(draft.error().message);
      return reply->succeed(draftJSON(store, *draft));
    }
    generator_->generateFollowUp(*contact, *event, *tone, regenerate,
                                 [this, reply](Result<Uuid> draft) {
                                   if (!draft) return reply->fail(draft.error().message);
                                   reply->succeed(draftJSON(context_.app.store(), *draft));
                                 });
  });

  control.handle("drafts.batch", [this](const nlohmann::json& request,
                                        std::shared_ptr<ControlReply> reply) {
    Store& store = context_.app.store();
    auto event = recordIn<Event>(store, request, "eventID", "event");
    auto tone = toneIn(request);
    if (!event) return reply->fail(event.error().message);
    if (!tone) return reply->fail(tone.error().message);
    if (generator_->batchGenerationState().generating || generator_->generatingDraftForContactID())
      return reply->fail("Already generating drafts");
    auto qualifying = request.contains("contactIDs") ? selectedForDrafts(store, *event, request)
                                                     : generator_->contactsNeedingDrafts(*event);
    if (!qualifying) return reply->fail(qualifying.error().message);
    if (qualifying->empty())
      return reply->fail("Every met contact of " + event->name + " has a draft already");
    reply->progress({{"label", FollowUpGenerator::batchLabel(qualifying->size())},
                     {"qualifying", qualifying->size()}});
    batchReply_ = reply;
    generator_->generateBatchDrafts(*qualifying, *event, *tone, [this, reply] {
      if (batchReply_ == reply) batchReply_.reset();
      const BatchGenerationState& batch = generator_->batchGenerationState();
      reply->succeed(batchJSON(batch));
    });
  });

  control.handle("drafts.cancel",
                 [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
                   const bool running = generator_->batchGenerationState().generating;
                   generator_->cancelBatchGeneration();
                   reply->succeed({{"cancelled", running}});
                 });

  control.handle("drafts.update", [this](const nlohmann::json& request,
                                         std::shared_ptr<ControlReply> reply) {
    Store& store = context_.app.store();
    auto draft = recordIn<FollowUpDraft>(store, request, "id", "draft");
    if (!draft) return reply->fail(draft.error().message);
    for (const char* key : {"subject", "body", "status", "recipientEmail"}) {
      const auto value = request.find(key);
      if (value == request.end()) continue;
      if (!value->is_string()) return reply->fail(std::string(key) + " must be text");
    }
    if (request.contains("status")) {
      const std::string status = request["status"];
      if (!parseEnum<DraftStatus>(status))
        return reply->fail("The status must be draft, approved, sent or dismissed, not \"" +
                           status + "\"");
      draft->status = status;
    }
    if (request.contains("recipientEmail")) {
      // Empty: the message goes to the contact's own address again.
      const std::string address(
          trimUnicodeWhitespace(request["recipientEmail"].get_ref<const std::string&>()));
      if (!address.empty()) {
        if (const auto problem = emailAddressProblem(address); !problem.empty())
          return reply->fail("Not an e-mail address: \"" + address + "\". " + std::string(problem));
        draft->recipientEmail = address;
      } else {
        draft->recipientEmail.reset();
      }
    }
    const bool textChanged = request.contains("subject") || request.contains("body");
    if (request.contains("subject")) draft->subject = request["subject"];
    if (request.contains("body")) draft->body = request["body"];
    if (textChanged) draft->editedAt = now();
    if (Status saved = store.update(*draft); !saved)
      return reply->fail("Failed to save: " + saved.error().message);
    reply->succeed({{"id", draft->id.str()}, {"status", draft->status}});
  });
}

void DraftingModule::registerEndpointCommands(ControlServer& control) {
  // The endpoint and its token: a token left out keeps the stored one, an
  // empty one removes it (a chat-completions server may need none).
  control.handle(
      "ai.login", [this](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
        QuillmereMacApp& app = context_.app;
        if (Status valid = checkLogin(request); !valid) return reply->fail(valid.error().message);
        const auto token = request.find("token");
        const bool removesToken =
            token != request.end() && token->get_ref<const std::string&>().empty();
        const auto held = app.keychain().load(kAIEndpointTokenKey);
        const bool keepsToken = token == request.end() && held && !held->empty();
        if (request["endpointKind"].get<std::string>() == rawValue(AIEndpointKind::proxy) &&
            (removesToken || (token == request.end() && !keepsToken)))
          return reply->fail("The AI proxy needs a token");
        for (const auto& [key, member] :
             {std::pair{"aiEndpoint", "endpoint"}, std::pair{"aiEndpointKind", "endpointKind"},
              std::pair{"aiModel", "model"}}) {
          if (!request.contains(member)) continue;
          if (Status set = app.settings().set(key, request[member].get<std::string>()); !set)
            return reply->fail(set.error().message);
        }
        if (token != request.end()) {
          const bool kept =
              removesToken
                  ? app.keychain().remove(kAIEndpointTokenKey)
                  : app.keychain().save(kAIEndpointTokenKey, token->get_ref<const std::string&>());
          if (!kept) return reply->fail("Cannot keep the AI endpoint token in the keychain");
        }
        reply->succeed(endpointJSON(app.settings(), app.keychain(), *endpoint_));
      });

  control.handle("ai.logout", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
    QuillmereMacApp& app = context_.app;
    const auto held = app.keychain().load(kAIEndpointTokenKey);
    if (!app.keychain().remove(kAIEndpointTokenKey))
      return reply->fail("Cannot remove the AI endpoint token from the keychain");
    nlohmann::json answer = endpointJSON(app.settings(), app.keychain(), *endpoint_);
    answer["removed"] = held && !held->empty();
    reply->succeed(answer);
  });

  // One short request down the same path as the drafts, so what it says is
  // what a draft would meet.
  control.handle("ai.test", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
    if (!endpoint_->isConfigured())
      return reply->fail(context_.app.settings().aiEndpoint().empty()
                             ? "No AI endpoint is set"
                             : "The AI endpoint cannot be used yet: it needs a token");
    endpoint_->requestCompletion("connection_test",
                                 {AIMessage{"user", "Reply with the single word OK."}}, 16, 0.0,
                                 [reply](Result<AIReply> answer) {
                                   if (!answer) return reply->fail(answer.error().message);
                                   nlohmann::json result{{"ok", true}, {"reply", answer->text}};
                                   if (answer->provider) result["provider"] = *answer->provider;
                                   reply->succeed(result);
                                 });
  });
}

}  // namespace qm
