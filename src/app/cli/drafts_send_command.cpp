// `quillmere drafts send`: drafts sent through the user's mail server by the
// running companion, one after another, a line per draft as it goes.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/companion_requests.h"
#include "app/cli/event_argument.h"
#include "store/store.h"

namespace qm::cli {

namespace {

struct SendOptions {
  std::vector<std::string> draftIDs;
  bool approved = false;
  std::string event;
};

std::optional<nlohmann::json> sendRequest(CliContext& context, const SendOptions& o) {
  if (!o.approved && o.draftIDs.empty()) {
    context.err << "Name the drafts to send, or --approved --event EVENT\n";
    return std::nullopt;
  }
  if (o.approved && !o.draftIDs.empty()) {
    context.err << "Give either draft ids or --approved, not both\n";
    return std::nullopt;
  }
  if (!o.approved) return nlohmann::json{{"command", "drafts.send"}, {"draftIDs", o.draftIDs}};
  if (o.event.empty()) {
    context.err << "--approved needs --event EVENT\n";
    return std::nullopt;
  }
  auto store = openStore(context);
  if (!store) return std::nullopt;
  auto event = eventArgument(*store, o.event);
  if (!event) {
    context.err << event.error().message << "\n";
    return std::nullopt;
  }
  return nlohmann::json{
      {"command", "drafts.send"}, {"approved", true}, {"eventID", event->id.str()}};
}

int send(CliContext& context, const SendOptions& o) {
  const auto request = sendRequest(context, o);
  if (!request) return 2;
  int exitCode = 0;
  auto answer = askCompanion(context, *request, exitCode, [&](const nlohmann::json& step) {
    const std::string state = step.value("state", "");
    if (state == "sending") return;
    const auto total = step.value("total", std::int64_t{0});
    const auto done = step.value("sent", std::int64_t{0}) + step.value("failed", std::int64_t{0});
    context.out << progressBar(done, total) << " " << done << "/" << total << "  " << state << ": "
                << step.value("contactName", "");
    if (state == "failed") context.out << ": " << step.value("error", "");
    context.out << std::endl;
  });
  if (!answer) return exitCode;
  const auto total = answer->value("total", std::int64_t{0});
  const auto sent = answer->value("sent", std::int64_t{0});
  const auto notAttempted = answer->value("notAttempted", std::int64_t{0});
  context.out << "Sent " << sent << " of " << total << (total == 1 ? " draft" : " drafts") << ".\n";
  const auto& failures = (*answer)["failures"];
  if (!failures.empty()) {
    context.out << "Not sent:\n";
    for (const auto& failure : failures)
      context.out << "  " << failure.value("contactName", "") << " ("
                  << failure.value("draftID", "") << "): " << failure.value("error", "") << "\n";
  }
  if (notAttempted > 0)
    context.out << "Cancelled: " << notAttempted << " more left as they were.\n";
  return failures.empty() && notAttempted == 0 ? 0 : 1;
}

}  // namespace

void addDraftsSendCommand(CLI::App& drafts, CliContext& context, int& exitCode) {
  auto o = std::make_shared<SendOptions>();
  auto* command = drafts.add_subcommand(
      "send",
      "Send drafts through your mail server (quillmere mail login); each sent one is "
      "marked sent");
  command->add_option("DRAFT_ID", o->draftIDs, "The drafts to send");
  command->add_flag("--approved", o->approved, "Send the event's approved drafts");
  command->add_option("--event", o->event,
                      "With --approved: the event (its id, name or part of it)");
  command->callback([&, o] { exitCode = send(context, *o); });
}

}  // namespace qm::cli
