// The lists and dashboards of the command line: an event's contacts with the
// filter chips, search and orderings, its companies, its dashboard, and the
// portfolio across events; each as a table that fits the terminal or as JSON.
// Reads the store directly; the bulk edits go through the running companion
// (the store's one writer).
#include <sys/ioctl.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/companion_requests.h"
#include "app/cli/event_argument.h"
#include "app/cli/word_choice.h"
#include "common/text.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/relationships.h"
#include "store/store.h"
#include "ui/company_list.h"
#include "ui/contact_list.h"
#include "ui/dashboard.h"
#include "ui/event_records.h"
#include "ui/text_table.h"

namespace qm::cli {

namespace {

/// The event a command names and the records its lists are made from; on
/// failure the reason is printed and nothing is returned.
struct NamedEventRecords {
  Event event;
  EventRecords records;
};
std::optional<NamedEventRecords> loadNamedEvent(CliContext& context, std::string_view eventArg) {
  auto store = openStore(context);
  if (!store) return std::nullopt;
  auto event = eventArgument(*store, eventArg);
  if (!event) {
    context.err << event.error().message << "\n";
    return std::nullopt;
  }
  auto records = loadEventRecords(*store, event->id);
  if (!records) {
    context.err << records.error().message << "\n";
    return std::nullopt;
  }
  return NamedEventRecords{std::move(*event), std::move(*records)};
}

using Align = TextColumn::Align;

/// The terminal's width: the window of standard output, else $COLUMNS, else 100.
std::size_t terminalWidth() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    char* end = nullptr;
    const long value = std::strtol(columns, &end, 10);
    if (end != columns && *end == '\0' && value > 0) return static_cast<std::size_t>(value);
  }
  return 100;
}

bool comfortable(CliContext& context) {
  UserDefaults defaults(context.paths.defaultsFile());
  return AppSettings(defaults).density() != "compact";
}

/// "12,500" or "12,500.50".
std::string formatAmount(double amount) {
  const double cents = std::round(amount * 100);
  const bool negative = cents < 0;
  const auto whole = static_cast<long long>(std::fabs(cents)) / 100;
  const auto fraction = static_cast<long long>(std::fabs(cents)) % 100;
  std::string digits = std::to_string(whole);
  for (auto i = static_cast<long>(digits.size()) - 3; i > 0; i -= 3)
    digits.insert(static_cast<std::size_t>(i), ",");
  if (fraction != 0) digits += (fraction < 10 ? ".0" : ".") + std::to_string(fraction);
  return (negative ? "-" : "") + digits;
}

std::string ratingText(double rating) {
  if (rating <= 0) return "–";
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%.1f", rating);
  return buffer;
}

template <class T>
nlohmann::json optionalJSON(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json();
}

// ---- contacts ----------------------------------------------------------------

struct ContactsOptions {
  std::string event, search, sort = "Name";
  bool desc = false, json = false;
  ContactListState state;
  std::vector<std::string> ids;
};

nlohmann::json contactJSON(const ListContact& c) {
  return {{"id", c.id.str()},
          {"fullName", c.fullName()},
          {"firstName", c.firstName},
          {"lastName", c.lastName},
          {"company", c.company},
          {"title", optionalJSON(c.title)},
          {"email", optionalJSON(c.email)},
          {"status", std::string(rawValue(c.status))},
          {"meetingIndicator", std::string(rawValue(c.meetingIndicator()))},
          {"tier", optionalJSON(c.tier)},
          {"overallScore", optionalJSON(c.overallScore)},
          {"interactionRating", optionalJSON(c.interactionRating)},
          {"isTarget", c.isTarget},
          {"isFavorite", c.isFavorite},
          {"rank", optionalJSON(c.rank)},
          {"metAt", c.metAt ? nlohmann::json(formatISO8601(*c.metAt)) : nlohmann::json()},
          {"alsoMetBy", c.alsoMetBy}};
}

int listContacts(CliContext& context, ContactsOptions& o) {
  // The option gives a raw value (see addWordOption), or the default.
  o.state.sortField = parseEnum<ContactSortField>(o.sort).value_or(ContactSortField::name);
  o.state.sortAscending = !o.desc;
  o.state.searchText = o.search;
  auto named = loadNamedEvent(context, o.event);
  if (!named) return 1;
  const Event* event = &named->event;
  const EventRecords* records = &named->records;
  const auto shown = visibleContacts(records->contacts, records->contactsWithNotes, o.state);

  if (o.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const ListContact* c : shown) list.push_back(contactJSON(*c));
    context.out << nlohmann::json{{"event", {{"id", event->id.str()}, {"name", event->name}}},
                                  {"sort", std::string(displayLabel(o.state.sortField))},
                                  {"ascending", o.state.sortAscending},
                                  {"total", records->contacts.size()},
                                  {"contacts", std::move(list)}}
                       .dump(2)
                << "\n";
    return 0;
  }
  if (records->contacts.empty()) {
    context.out << "This event has no contacts yet. Pair with your iPhone to sync.\n";
    return 0;
  }
  if (shown.empty()) {
    context.out << "No contacts match the current filters.\n";
    return 0;
  }
  const bool roomy = comfortable(context);
  std::vector<TextColumn> columns{{"ID", Align::left, false, 8, 0},
                                  {"Name", Align::left, true, 10, 0},
                                  {"Company", Align::left, true, 8, 0}};
  if (roomy) {
    columns.push_back({"Title", Align::left, true, 8, 3});
    columns.push_back({"Email", Align::left, true, 10, 2});
  }
  columns.push_back({"Status", Align::left, true, 6, 0});
  columns.push_back({"Tier", Align::left, false, 4, 0});
  if (roomy) {
    columns.push_back({"Score", Align::right, false, 5, 5});
    columns.push_back({"Rating", Align::right, false, 6, 4});
  }
  columns.push_back({"", Align::left, false, 2, 1});  // T target, * favourite
  std::vector<std::vector<std::string>> rows;
  rows.reserve(shown.size());
  for (const ListContact* c : shown) {
    std::vector<std::string> row{c->id.str().substr(0, 8), c->fullName(), c->company};
    if (roomy) {
      row.push_back(c->title.value_or(""));
      row.push_back(c->email.value_or(""));
    }
    row.push_back(std::string(displayLabel(c->meetingIndicator())));
    row.push_back(c->tier.value_or(""));
    if (roomy) {
      row.push_back(c->overallScore ? ratingText(*c->overallScore) : "");
      row.push_back(c->interactionRating ? std::to_string(*c->interactionRating) : "");
    }
    row.push_back(std::string(c->isTarget ? "T" : "") + (c->isFavorite ? "*" : ""));
    rows.push_back(std::move(row));
  }
  const std::size_t width = terminalWidth();
  context.out << renderTextTable(columns, rows, width, {roomy});
  if (roomy) context.out << "\n";
  context.out << shown.size() << " of " << records->contacts.size()
              << " contacts · Sort: " << displayLabel(o.state.sortField)
              << (o.state.sortAscending ? " ↑" : " ↓") << "\n";
  return 0;
}

/// The full ids that `given` names: whole ids, or prefixes of at least eight
/// characters that name exactly one contact.
std::optional<std::vector<std::string>> resolveContactIDs(CliContext& context,
                                                          const std::vector<std::string>& given) {
  std::vector<std::string> ids;
  std::optional<std::vector<Contact>> all;
  for (const std::string& text : given) {
    if (auto id = Uuid::parse(text)) {
      ids.push_back(id->str());
      continue;
    }
    if (text.size() < 8) {
      context.err << "Not a contact id: " << text << "\n";
      return std::nullopt;
    }
    if (!all) {
      auto store = openStore(context);
      if (!store) return std::nullopt;
      auto contacts = store->fetchOnly<Contact>({"id"});
      if (!contacts) {
        context.err << contacts.error().message << "\n";
        return std::nullopt;
      }
      all = std::move(*contacts);
    }
    const std::string prefix = lowercaseUnicode(text);
    std::vector<std::string> matching;
    for (const Contact& c : *all)
      if (lowercaseUnicode(c.id.str()).starts_with(prefix)) matching.push_back(c.id.str());
    if (matching.size() != 1) {
      context.err << (matching.empty() ? "No contact with an id starting " + text
                                       : "More than one contact id starts " + text)
                  << "\n";
      return std::nullopt;
    }
    ids.push_back(matching.front());
  }
  return ids;
}

int markContacts(CliContext& context, const ContactsOptions& o, const std::string& action) {
  const auto ids = resolveContactIDs(context, o.ids);
  if (!ids) return 1;
  int exitCode = 0;
  auto answer = askCompanion(
      context, {{"command", "contacts.mark"}, {"action", action}, {"ids", *ids}}, exitCode);
  if (!answer) return exitCode;
  const auto changed = answer->value("changed", std::int64_t{0});
  const auto queued = answer->value("queued", std::int64_t{0});
  if (o.json) {
    context.out << nlohmann::json{{"changed", changed}, {"queued", queued}}.dump() << "\n";
  } else {
    context.out << "Marked " << changed << (changed == 1 ? " contact" : " contacts")
                << (action == "target" ? (changed == 1 ? " as a target" : " as targets")
                                       : " as met")
                << ".\n";
    if (queued > 0)
      context.out << queued << (queued == 1 ? " change waits" : " changes wait")
                  << " for the phone; it gets them when it connects.\n";
  }
  return 0;
}

void addContactsCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto o = std::make_shared<ContactsOptions>();
  auto* contacts = app.add_subcommand(
      "contacts", "An event's contacts with the list's filters, search and orderings");
  contacts->add_option("EVENT", o->event, "The event's id or name");
  // What each chip keeps, in the chip bar's order.
  static constexpr std::array<const char*, 7> kKeeps{
      "Only favourites",
      "Only targets",
      "Only contacts met by you or a teammate",
      "Only contacts still to meet (not declined, no no-show, no teammate met them)",
      "Only met contacts rated 3 or more whose action plan is unedited",
      "Only contacts a teammate met and you did not",
      "Only contacts with notes"};
  for (std::size_t i = 0; i < kFilterChips.size(); ++i) {
    const auto& chip = kFilterChips[i];
    std::string flag = "--" + lowercaseUnicode(chip.label);
    for (char& ch : flag)
      if (ch == ' ') ch = '-';
    contacts->add_flag(flag, o->state.*chip.state,
                       std::string(kKeeps[i]) + " (the \"" + std::string(chip.label) + "\" chip)");
  }
  contacts->add_option("--search", o->search,
                       "Only contacts whose name, company, title or e-mail holds this text");
  addWordOption(*contacts, "--sort", o->sort,
                WordChoices::of<ContactSortField>("an ordering of contacts"), "The order");
  contacts->add_flag("--desc", o->desc, "Reverse the order");
  contacts->add_flag("--json", o->json, "Print JSON for scripts");
  auto* target = contacts->add_subcommand("mark-target", "Put contacts on the target list");
  auto* met = contacts->add_subcommand("mark-met", "Mark contacts as met now");
  for (auto* mark : {target, met}) {
    mark->add_option("ID", o->ids, "Contact ids (or their first 8 or more characters)")->required();
    mark->add_flag("--json", o->json, "Print JSON for scripts");
  }
  contacts->callback([&, o, contacts, target, met] {
    if (target->parsed()) {
      exitCode = markContacts(context, *o, "target");
    } else if (met->parsed()) {
      exitCode = markContacts(context, *o, "met");
    } else if (o->event.empty()) {
      context.err << "Name an event: quillmere contacts EVENT\n" << contacts->help();
      exitCode = 2;
    } else {
      exitCode = listContacts(context, *o);
    }
  });
}

// ---- companies ---------------------------------------------------------------

struct CompaniesOptions {
  std::string event, search, sort = "A\u2013Z";
  bool json = false;
};

int listCompanies(CliContext& context, const CompaniesOptions& o) {
  const auto field = parseEnum<CompanySortField>(o.sort).value_or(CompanySortField::alphabetical);
  auto named = loadNamedEvent(context, o.event);
  if (!named) return 1;
  const Event* event = &named->event;
  const std::vector<ListContact>* contacts = &named->records.contacts;
  const auto companies = visibleCompanies(*contacts, {o.search, field});
  if (o.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& c : companies)
      list.push_back({{"name", c.name},
                      {"contacts", c.contactCount()},
                      {"averageRating", c.averageRating()},
                      {"met", c.metCountOfCompany()}});
    context.out << nlohmann::json{{"event", {{"id", event->id.str()}, {"name", event->name}}},
                                  {"sort", std::string(displayLabel(field))},
                                  {"companies", std::move(list)}}
                       .dump(2)
                << "\n";
    return 0;
  }
  if (companies.empty()) {
    context.out << (o.search.empty() ? "No contacts with company data yet.\n"
                                     : "No companies match the search.\n");
    return 0;
  }
  const bool roomy = comfortable(context);
  std::vector<TextColumn> columns{{"Company", Align::left, true, 10, 0},
                                  {"Contacts", Align::right, false, 8, 0},
                                  {"Met", Align::right, false, 3, 0},
                                  {"Avg rating", Align::right, false, 10, 1}};
  if (roomy) columns.push_back({"People", Align::left, true, 10, 2});
  std::vector<std::vector<std::string>> rows;
  for (const auto& c : companies) {
    std::vector<std::string> row{c.name, std::to_string(c.contactCount()),
                                 std::to_string(c.metCountOfCompany()),
                                 ratingText(c.averageRating())};
    if (roomy) {
      std::string people;
      for (const ListContact* p : c.contacts)
        people += (people.empty() ? "" : ", ") + p->fullName();
      row.push_back(std::move(people));
    }
    rows.push_back(std::move(row));
  }
  context.out << renderTextTable(columns, rows, terminalWidth(), {roomy});
  if (roomy) context.out << "\n";
  context.out << companies.size() << (companies.size() == 1 ? " company" : " companies")
              << " · Sort: " << displayLabel(field) << "\n";
  return 0;
}

void addCompaniesCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto o = std::make_shared<CompaniesOptions>();
  auto* companies =
      app.add_subcommand("companies", "The companies of an event's contacts, with their figures");
  companies->add_option("EVENT", o->event, "The event's id or name")->required();
  companies->add_option("--search", o->search,
                        "Only companies whose name, or one of whose people's names, holds this");
  addWordOption(
      *companies, "--sort", o->sort,
      WordChoices::of<CompanySortField>("an ordering of companies", {{"alphabetical", "A\u2013Z"},
                                                                     {"name", "A\u2013Z"},
                                                                     {"contacts", "Most Contacts"},
                                                                     {"rating", "Best Rated"},
                                                                     {"rated", "Best Rated"},
                                                                     {"met", "Most Met"}}),
      "The order");
  companies->add_flag("--json", o->json, "Print JSON for scripts");
  companies->callback([&, o] { exitCode = listCompanies(context, *o); });
}

// ---- dashboard -----------------------------------------------------------------

nlohmann::json itemsJSON(const std::vector<DashboardItem>& items) {
  nlohmann::json out = nlohmann::json::array();
  for (const auto& i : items)
    out.push_back({{"kind", i.kind}, {"count", i.count}, {"text", i.text}, {"icon", i.icon}});
  return out;
}

void printItems(CliContext& context, const char* title, const std::vector<DashboardItem>& items) {
  context.out << title << "\n";
  for (const auto& i : items) context.out << "  • " << i.text << "\n";
}

int eventDashboard(CliContext& context, const std::string& eventArg, bool json) {
  auto named = loadNamedEvent(context, eventArg);
  if (!named) return 1;
  const Event* event = &named->event;
  const EventRecords* records = &named->records;
  const auto actions = nextActions(nextActionCounts(records->contacts, records->approvedDrafts));
  const auto totals = pipelineTotals(records->opportunities);
  const auto met = metCount(records->contacts);
  const auto targets = targetCount(records->contacts);
  if (json) {
    nlohmann::json pipeline = nlohmann::json::array();
    for (const auto& t : totals)
      pipeline.push_back({{"currency", t.currency}, {"amount", t.amount}});
    context.out << nlohmann::json{{"event", {{"id", event->id.str()}, {"name", event->name}}},
                                  {"contacts", records->contacts.size()},
                                  {"met", met},
                                  {"targets", targets},
                                  {"opportunities", records->opportunities.size()},
                                  {"pipelineTotals", std::move(pipeline)},
                                  {"nextActions", itemsJSON(actions)}}
                       .dump(2)
                << "\n";
    return 0;
  }
  const bool roomy = comfortable(context);
  context.out << event->name << "\n";
  if (roomy) context.out << "\n";
  context.out << records->contacts.size() << " contacts · " << met << " met · " << targets
              << (targets == 1 ? " target" : " targets") << " · " << records->opportunities.size()
              << (records->opportunities.size() == 1 ? " opportunity" : " opportunities") << "\n";
  std::string pipeline;
  for (const auto& t : totals)
    pipeline += (pipeline.empty() ? "" : " + ") + formatAmount(t.amount) + " " + t.currency;
  context.out << "Pipeline: " << pipeline << "\n";
  if (roomy) context.out << "\n";
  printItems(context, "NEXT ACTIONS", actions);
  return 0;
}

int portfolioDashboard(CliContext& context, bool json) {
  auto store = openStore(context);
  if (!store) return 1;
  auto portfolio = loadPortfolioSummary(*store);
  if (!portfolio) {
    context.err << portfolio.error().message << "\n";
    return 1;
  }
  const std::vector<PortfolioRow>& events = portfolio->events;
  const auto items = attentionItems(portfolio->counts);
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& e : events)
      list.push_back(
          {{"id", e.event.id.str()},
           {"name", e.event.name},
           {"startDate", e.event.startDate ? nlohmann::json(formatISO8601(*e.event.startDate))
                                           : nlohmann::json()},
           {"contacts", e.contacts},
           {"met", e.met},
           {"opportunities", e.opportunities}});
    context.out
        << nlohmann::json{{"events", std::move(list)}, {"attentionItems", itemsJSON(items)}}.dump(2)
        << "\n";
    return 0;
  }
  const bool roomy = comfortable(context);
  context.out << "PORTFOLIO · " << events.size() << (events.size() == 1 ? " event" : " events")
              << "\n";
  if (!events.empty()) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& e : events)
      rows.push_back(
          {e.event.name, e.event.startDate ? formatISO8601(*e.event.startDate).substr(0, 10) : "",
           std::to_string(e.contacts), std::to_string(e.met), std::to_string(e.opportunities)});
    if (roomy) context.out << "\n";
    context.out << renderTextTable({{"Event", Align::left, true, 10, 0},
                                    {"Starts", Align::left, false, 10, 2},
                                    {"Contacts", Align::right, false, 8, 0},
                                    {"Met", Align::right, false, 3, 0},
                                    {"Opportunities", Align::right, false, 13, 1}},
                                   rows, terminalWidth(), {roomy});
  }
  if (roomy) context.out << "\n";
  printItems(context, "ATTENTION ITEMS", items);
  return 0;
}

void addDashboardCommand(CLI::App& app, CliContext& context, int& exitCode) {
  struct Options {
    std::string event;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  auto* dashboard = app.add_subcommand(
      "dashboard", "An event's next actions and pipeline, or (without EVENT) the portfolio");
  dashboard->add_option("EVENT", o->event, "The event's id or name");
  dashboard->add_flag("--json", o->json, "Print JSON for scripts");
  dashboard->callback([&, o] {
    exitCode = o->event.empty() ? portfolioDashboard(context, o->json)
                                : eventDashboard(context, o->event, o->json);
  });
}

}  // namespace

void addListCommands(CLI::App& app, CliContext& context, int& exitCode) {
  addContactsCommand(app, context, exitCode);
  addCompaniesCommand(app, context, exitCode);
  addDashboardCommand(app, context, exitCode);
}

}  // namespace qm::cli
