// `quillmere search`: the global search of the desktop window on the command
// line, read straight from the store (no companion needed).
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/event_argument.h"
#include "search/search_index.h"
#include "search/search_scoring.h"
#include "store/store.h"

namespace qm::cli {

namespace {

struct SearchOptions {
  std::vector<std::string> words;
  std::string event;
  bool json = false;
};

nlohmann::json targetJSON(const NavigationIntent& target) {
  struct Visitor {
    nlohmann::json operator()(const NavigateToContact& t) const {
      return {{"kind", "contact"}, {"eventID", t.eventID.str()}, {"contactID", t.contactID.str()}};
    }
    nlohmann::json operator()(const NavigateToCompany& t) const {
      return {{"kind", "company"}, {"eventID", t.eventID.str()}, {"companyName", t.companyName}};
    }
    nlohmann::json operator()(const NavigateToOpportunity& t) const {
      return {{"kind", "opportunity"},
              {"eventID", t.eventID.str()},
              {"opportunityID", t.opportunityID.str()}};
    }
    nlohmann::json operator()(const NavigateToDraft& t) const {
      return {{"kind", "draft"}, {"draftID", t.draftID.str()}};
    }
    nlohmann::json operator()(const NavigateToEvent& t) const {
      return {{"kind", "event"}, {"eventID", t.eventID.str()}};
    }
  };
  return std::visit(Visitor{}, target);
}

void printJSON(std::ostream& out, const std::string& query, const std::optional<Event>& scope,
               const SearchResults& results) {
  nlohmann::json groups = nlohmann::json::array();
  for (const auto& [category, hits] : results) {
    nlohmann::json list = nlohmann::json::array();
    for (const SearchResult& hit : hits) {
      nlohmann::json item = {{"primaryText", hit.primaryText},
                             {"score", hit.score},
                             {"target", targetJSON(hit.navigationIntent)}};
      if (hit.secondaryText) item["secondaryText"] = *hit.secondaryText;
      if (hit.eventName) item["eventName"] = *hit.eventName;
      list.push_back(std::move(item));
    }
    groups.push_back({{"category", searchCategoryName(category)},
                      {"title", searchCategoryTitle(category)},
                      {"results", std::move(list)}});
  }
  nlohmann::json document = {{"query", query}, {"groups", std::move(groups)}};
  document["event"] = scope ? nlohmann::json(scope->id.str()) : nlohmann::json(nullptr);
  out << document.dump(2) << "\n";
}

void printText(std::ostream& out, const std::string& query, const SearchResults& results) {
  bool any = false;
  for (const auto& [category, hits] : results) {
    if (hits.empty()) continue;
    out << (any ? "\n" : "") << searchCategoryTitle(category) << " (" << hits.size() << ")\n";
    for (const SearchResult& hit : hits) {
      out << "  " << hit.primaryText;
      if (hit.secondaryText) out << " — " << *hit.secondaryText;
      if (hit.eventName) out << "  [" << *hit.eventName << "]";
      out << "\n";
    }
    any = true;
  }
  if (!any) out << "Nothing found for \"" << query << "\".\n";
}

int runSearch(CliContext& context, const SearchOptions& o) {
  std::string query;
  for (const std::string& word : o.words) query += (query.empty() ? "" : " ") + word;
  if (!isSearchableQuery(query)) {
    context.err << "Type at least two characters to search.\n";
    return 2;
  }
  auto store = Store::open(context.paths.storeFile());
  if (!store) {
    context.err << "Cannot open the store: " << store.error().message << "\n";
    return 1;
  }
  std::optional<Event> scope;
  if (!o.event.empty()) {
    auto event = eventArgument(**store, o.event);
    if (!event) {
      context.err << event.error().message << "\n";
      return 1;
    }
    scope = std::move(*event);
  }
  SearchIndex index;
  if (Status read = index.refresh(**store); !read) {
    context.err << "Cannot read the store: " << read.error().message << "\n";
    return 1;
  }
  const auto results = index.search(query, scope ? std::optional(scope->id) : std::nullopt)
                           .value_or(SearchResults{});
  if (o.json)
    printJSON(context.out, query, scope, results);
  else
    printText(context.out, query, results);
  return 0;
}

}  // namespace

void addSearchCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto options = std::make_shared<SearchOptions>();
  auto* search = app.add_subcommand(
      "search", "Search contacts, companies, opportunities, drafts and events, best match first");
  search->add_option("query", options->words, "The words to find (each must match)")->required();
  search->add_option("--event", options->event, "Search only this event (its id or name)");
  search->add_flag("--json", options->json, "Print the results as JSON");
  search->callback([&, options] { exitCode = runSearch(context, *options); });
}

}  // namespace qm::cli
