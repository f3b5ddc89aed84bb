#include "app/cli/event_argument.h"

#include <algorithm>
#include <functional>

#include "app/cli/cli_context.h"
#include "common/text.h"
#include "common/search_folding.h"
#include "store/store.h"
#include "ui/display_width.h"

namespace qm::cli {

namespace {

/// At most this many events are listed when none fits what was typed.
constexpr std::size_t kListedAtMost = 20;

/// The events, name and id, one per line with the ids aligned, by name.
std::string listed(const std::vector<EventChoice>& events, std::vector<std::size_t> indexes,
                   const EventPlace& place) {
  std::ranges::sort(indexes, {}, [&](std::size_t i) { return lowercaseUnicode(events[i].name); });
  const std::size_t shown = std::min(indexes.size(), kListedAtMost);
  std::size_t width = 0;
  for (std::size_t k = 0; k < shown; ++k)
    width = std::max(width, displayWidth(events[indexes[k]].name));
  std::string out;
  for (std::size_t k = 0; k < shown; ++k) {
    const EventChoice& event = events[indexes[k]];
    out += "\n  " + event.name + std::string(width - displayWidth(event.name) + 2, ' ') + event.id;
  }
  if (indexes.size() > shown)
    out += "\n  … and " + std::to_string(indexes.size() - shown) + " more (" +
           std::string(place.listCommand) + " lists them all)";
  return out;
}

}  // namespace

Result<std::size_t> pickEvent(const std::vector<EventChoice>& events, std::string_view typed,
                              const EventPlace& place) {
  const std::string_view text = trimUnicodeWhitespace(typed);
  if (text.empty())
    return Error(ErrorCode::invalidArgument,
                 "Name an event: its id, its name or a part of its name.");
  const std::string lowered = lowercaseUnicode(text);
  const std::string folded = foldForSearch(text);
  // From the closest fit to the loosest; the first that any event passes decides.
  using Fits = std::function<bool(const EventChoice&)>;
  const Fits tiers[] = {
      [&](const EventChoice& e) { return lowercaseUnicode(e.id) == lowered; },
      [&](const EventChoice& e) {
        return lowercaseUnicode(trimUnicodeWhitespace(e.name)) == lowered;
      },
      [&](const EventChoice& e) {
        return foldForSearch(trimUnicodeWhitespace(e.name)) == folded;
      },
      [&](const EventChoice& e) {
        return foldForSearch(e.name).find(folded) != std::string::npos;
      },
  };
  const std::string quoted = "\"" + std::string(text) + "\"";
  for (std::size_t tier = 0; tier < std::size(tiers); ++tier) {
    std::vector<std::size_t> fitting;
    for (std::size_t i = 0; i < events.size(); ++i)
      if (tiers[tier](events[i])) fitting.push_back(i);
    if (fitting.size() == 1) return fitting.front();
    if (fitting.empty()) continue;
    const bool partOfName = tier + 1 == std::size(tiers);
    return Error(ErrorCode::invalidArgument,
                 (partOfName ? quoted + " is in the names of " + std::to_string(fitting.size()) +
                                   " events; name one by its id or more of its name:"
                             : std::to_string(fitting.size()) + " events are called " + quoted +
                                   "; name one by its id:") +
                     listed(events, fitting, place));
  }
  if (events.empty())
    return Error(ErrorCode::notFound, "No event is called " + quoted + ": there are no events " +
                                          std::string(place.where) + " yet.");
  std::vector<std::size_t> all(events.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  return Error(ErrorCode::notFound,
               "No event is called " + quoted + " or has it in its name. The events " +
                   std::string(place.where) + ":" + listed(events, std::move(all), place));
}

Result<Event> eventArgument(Store& store, std::string_view typed) {
  auto events = QM_TRY(store.fetch<Event>());
  std::vector<EventChoice> choices;
  choices.reserve(events.size());
  for (const Event& event : events) choices.push_back({event.id.str(), event.name});
  const std::size_t picked = QM_TRY(pickEvent(choices, typed, kEventsOnThisComputer));
  return std::move(events[picked]);
}

Result<Event> eventArgument(CliContext& context, std::string_view typed) {
  auto store = QM_TRY(Store::open(context.paths.storeFile()));
  return eventArgument(*store, typed);
}

}  // namespace qm::cli
