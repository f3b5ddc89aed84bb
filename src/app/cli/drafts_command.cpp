// Follow-up e-mail drafts: generating one or a batch (through the running
// companion, which reaches the AI endpoint or the phone, or writes from the
// tone's template), listing and showing
// them (read from the store), editing them in $EDITOR and changing their status
// (written by the companion, the store's one writer).
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/companion_requests.h"
#include "app/cli/event_argument.h"
#include "app/cli/word_choice.h"
#include "common/atomic_file.h"
#include "export/eml_message.h"
#include "store/contact.h"
#include "store/follow_up_draft.h"
#include "store/store.h"

namespace qm::cli {

namespace {

struct DraftOptions {
  std::string contactID, eventID, draftID, regenerate, tone = "neutral", status;
  bool fromTemplate = false;
};

int generate(CliContext& context, const DraftOptions& o) {
  nlohmann::json request = {
      {"command", "drafts.generate"}, {"contactID", o.contactID}, {"tone", o.tone}};
  if (!o.regenerate.empty()) request["regenerate"] = o.regenerate;
  if (o.fromTemplate) request["template"] = true;
  int exitCode = 0;
  auto answer = askCompanion(context, request, exitCode);
  if (!answer) return exitCode;
  context.out << (o.regenerate.empty() ? "Created draft " : "Regenerated draft ")
              << answer->value("draftID", "") << (o.fromTemplate ? " from the template" : "")
              << "\n\nSubject: " << answer->value("subject", "") << "\n\n"
              << answer->value("body", "") << "\n";
  return 0;
}

int batch(CliContext& context, const DraftOptions& o) {
  // The companion takes the event's id: a name is found here first.
  auto event = eventArgument(context, o.eventID);
  if (!event) {
    context.err << event.error().message << "\n";
    return 1;
  }
  const std::string eventID = event->id.str();
  int exitCode = 0;
  std::int64_t shown = 0;  // one line per contact done, naming it
  bool noticed = false;    // why the drafts come from the templates, said once
  auto answer =
      askCompanion(context, {{"command", "drafts.batch"}, {"eventID", eventID}, {"tone", o.tone}},
                   exitCode, [&](const nlohmann::json& progress) {
                     if (progress.contains("label")) {
                       context.out << progress.value("label", "") << std::endl;
                       return;
                     }
                     if (progress.contains("notice") && !std::exchange(noticed, true))
                       context.out << progress.value("notice", "") << std::endl;
                     const auto total = progress.value("total", std::int64_t{0});
                     const auto failed = progress.value("failed", std::int64_t{0});
                     const auto done = progress.value("completed", std::int64_t{0}) + failed;
                     if (done == shown) return;
                     shown = done;
                     context.out << progressBar(done, total) << " " << done << "/" << total << "  "
                                 << progress.value("currentContactName", "") << std::endl;
                   });
  if (!answer) return exitCode;
  const auto completed = answer->value("completed", std::int64_t{0});
  const auto failed = answer->value("failed", std::int64_t{0});
  context.out << "Batch complete: " << completed << (completed == 1 ? " draft" : " drafts")
              << " written, " << failed << " failed\n";
  return failed > 0 && completed == 0 ? 1 : 0;
}

int cancel(CliContext& context) {
  int exitCode = 0;
  auto answer = askCompanion(context, {{"command", "drafts.cancel"}}, exitCode);
  if (!answer) return exitCode;
  context.out << (answer->value("cancelled", false)
                      ? "The batch stops after the draft in progress.\n"
                      : "No batch is running.\n");
  return 0;
}

int list(CliContext& context, const DraftOptions& o) {
  auto store = openStore(context);
  if (!store) return 1;
  std::optional<Uuid> event;
  if (!o.eventID.empty()) {
    auto named = eventArgument(*store, o.eventID);
    if (!named) {
      context.err << named.error().message << "\n";
      return 1;
    }
    event = named->id;
  }
  auto drafts = store->fetch<FollowUpDraft>();
  auto contacts = store->fetchOnly<Contact>({"id", "firstName", "lastName", "eventID"});
  if (!drafts || !contacts) {
    context.err << (drafts ? contacts.error() : drafts.error()).message << "\n";
    return 1;
  }
  std::map<Uuid, const Contact*> byID;
  for (const auto& c : *contacts) byID[c.id] = &c;
  std::size_t shown = 0;
  for (const auto& d : *drafts) {
    const auto found = d.contactID ? byID.find(*d.contactID) : byID.end();
    const Contact* contact = found == byID.end() ? nullptr : found->second;
    if (event && (!contact || contact->eventID != event)) continue;
    if (!o.status.empty() && d.status != o.status) continue;
    context.out << d.id.str() << "  " << d.status << "  " << d.tone << "  "
                << (contact ? contact->fullName() : std::string("(no contact)")) << "  "
                << d.subject << "\n";
    ++shown;
  }
  if (shown == 0) context.out << "No drafts.\n";
  return 0;
}

/// The draft named by `id`, or nothing after printing why.
std::optional<FollowUpDraft> findDraft(CliContext& context, Store& store, const std::string& id) {
  const auto parsed = Uuid::parse(id);
  if (!parsed) {
    context.err << "Not a draft id: " << id << "\n";
    return std::nullopt;
  }
  auto found = store.find<FollowUpDraft>(*parsed);
  if (!found) {
    context.err << found.error().message << "\n";
    return std::nullopt;
  }
  if (!*found) context.err << "No draft with id " << id << "\n";
  return *found;
}

int show(CliContext& context, const DraftOptions& o) {
  auto store = openStore(context);
  if (!store) return 1;
  const auto draft = findDraft(context, *store, o.draftID);
  if (!draft) return 1;
  std::optional<Contact> contact;
  if (draft->contactID) {
    if (auto found = store->find<Contact>(*draft->contactID); found && *found) contact = **found;
  }
  context.out << "Subject: " << draft->subject << "\n";
  const std::string address = recipientAddress(DraftMessage{*draft, contact});
  if (contact || !address.empty()) {
    context.out << "To: " << (contact ? contact->fullName() : std::string());
    if (!address.empty()) context.out << (contact ? " <" : "<") << address << ">";
    if (contact) context.out << ", " << contact->displayCompany();
    context.out << "\n";
  }
  context.out << "Status: " << draft->status << "  Tone: " << draft->tone
              << "  Provider: " << draft->aiProvider.value_or("unknown")
              << "  Generated: " << formatISO8601(draft->generatedAt) << "\n\n"
              << draft->body << "\n";
  return 0;
}

int update(CliContext& context, nlohmann::json request) {
  request["command"] = "drafts.update";
  int exitCode = 0;
  auto answer = askCompanion(context, request, exitCode);
  if (!answer) return exitCode;
  context.out << "Saved draft " << answer->value("id", "") << " (" << answer->value("status", "")
              << ")\n";
  return 0;
}

/// The subject and body back from the edited text: a first line "Subject: …",
/// then the body after the blank line that follows it.
std::optional<std::pair<std::string, std::string>> readEdited(const std::string& text) {
  constexpr std::string_view kLabel = "Subject: ";
  if (text.rfind(kLabel, 0) != 0) return std::nullopt;
  const auto lineEnd = text.find('\n');
  std::string subject = text.substr(kLabel.size(), lineEnd - kLabel.size());
  std::string body = lineEnd == std::string::npos ? "" : text.substr(lineEnd + 1);
  if (!body.empty() && body.front() == '\n') body.erase(0, 1);
  while (!body.empty() && body.back() == '\n') body.pop_back();
  return std::pair{std::move(subject), std::move(body)};
}

int edit(CliContext& context, const DraftOptions& o) {
  auto store = openStore(context);
  if (!store) return 1;
  const auto draft = findDraft(context, *store, o.draftID);
  if (!draft) return 1;
  store.reset();

  // A private folder: the draft names a person and what was said to them.
  std::string folderTemplate =
      (std::filesystem::temp_directory_path() / "quillmere-draft-XXXXXX").string();
  if (!mkdtemp(folderTemplate.data())) {
    context.err << "Cannot make a temporary folder for editing\n";
    return 1;
  }
  const std::filesystem::path folder = folderTemplate;
  const std::filesystem::path file = folder / "draft.txt";
  const std::string before = "Subject: " + draft->subject + "\n\n" + draft->body + "\n";
  int result = 1;
  if (Status written = writeFileAtomically(file, before); !written) {
    context.err << "Cannot write " << file.string() << ": " << written.error().message << "\n";
  } else {
    const char* visual = std::getenv("VISUAL");
    const char* editor = std::getenv("EDITOR");
    const std::string program = visual && *visual ? visual : editor && *editor ? editor : "vi";
    const std::string command = program + " '" + file.string() + "'";
    if (std::system(command.c_str()) != 0) {
      context.err << "The editor (" << program << ") did not finish cleanly; nothing was saved.\n";
    } else if (auto after = readFile(file); !after) {
      context.err << "Cannot read " << file.string() << ": " << after.error().message << "\n";
    } else if (*after == before) {
      context.out << "No changes.\n";
      result = 0;
    } else if (auto edited = readEdited(*after); !edited) {
      context.err << "The first line must start with \"Subject: \"; nothing was saved.\n";
    } else {
      result = update(context,
                      {{"id", o.draftID}, {"subject", edited->first}, {"body", edited->second}});
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return result;
}

}  // namespace

void addDraftsCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto o = std::make_shared<DraftOptions>();
  auto* drafts = app.add_subcommand("drafts", "Follow-up e-mail drafts");
  drafts->require_subcommand(1);
  const auto toneOption = [&](CLI::App* command) {
    addWordOption(*command, "--tone", o->tone, WordChoices::of<Tone>("a tone"), "The tone")
        ->capture_default_str();
  };

  auto* generateCommand =
      drafts->add_subcommand("generate", "Draft a follow-up e-mail to one contact");
  generateCommand->add_option("CONTACT_ID", o->contactID, "The contact")->required();
  toneOption(generateCommand);
  generateCommand->add_flag("--template", o->fromTemplate,
                            "Write it at once from the tone's template instead of with an AI");
  generateCommand->add_option("--regenerate", o->regenerate,
                              "Write this draft again instead of adding one");
  generateCommand->callback([&, o] { exitCode = generate(context, *o); });

  auto* batchCommand = drafts->add_subcommand(
      "batch",
      "Draft follow-ups for the event's met contacts without one (ten at a time; from the "
      "templates when no AI can write)");
  batchCommand->add_option("EVENT", o->eventID, "The event: its id, its name or part of it")
      ->required();
  toneOption(batchCommand);
  batchCommand->callback([&, o] { exitCode = batch(context, *o); });

  drafts->add_subcommand("cancel", "Stop the running batch after the draft in progress")
      ->callback([&] { exitCode = cancel(context); });

  auto* listCommand = drafts->add_subcommand("list", "List the drafts");
  listCommand->add_option("--event", o->eventID,
                          "Only the drafts of this event's contacts (its id, name or part of it)");
  addWordOption(*listCommand, "--status", o->status, WordChoices::of<DraftStatus>("a status"),
                "Only the drafts with this status");
  listCommand->callback([&, o] { exitCode = list(context, *o); });

  auto* showCommand = drafts->add_subcommand("show", "Show one draft");
  showCommand->add_option("ID", o->draftID, "The draft")->required();
  showCommand->callback([&, o] { exitCode = show(context, *o); });

  auto* editCommand = drafts->add_subcommand("edit", "Edit a draft's subject and body in $EDITOR");
  editCommand->add_option("ID", o->draftID, "The draft")->required();
  editCommand->callback([&, o] { exitCode = edit(context, *o); });

  auto* statusCommand = drafts->add_subcommand("set-status", "Mark a draft");
  statusCommand->add_option("ID", o->draftID, "The draft")->required();
  addWordOption(*statusCommand, "STATUS", o->status, WordChoices::of<DraftStatus>("a status"),
                "The new status")
      ->required();
  statusCommand->callback([&, o] {
    exitCode = update(context, {{"id", o->draftID}, {"status", o->status}});
  });

  addDraftsSendCommand(*drafts, context, exitCode);
}

}  // namespace qm::cli
