#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "store/event.h"

namespace qm {
class Store;
}

namespace qm::cli {

struct CliContext;

/// An event a person may name on the command line: its id and its name.
struct EventChoice {
  std::string id;
  std::string name;
};

/// Where the events to choose from are, for the messages: "on this computer"
/// and the command that lists them all.
struct EventPlace {
  std::string_view where;
  std::string_view listCommand;
};
inline constexpr EventPlace kEventsOnThisComputer{"on this computer", "quillmere events"};
inline constexpr EventPlace kEventsOnThePhone{"on the phone", "quillmere events --remote"};

/// Which of `events` the text a person typed names: the event with that id;
/// else the one called that (ignoring letter case, then accents too, so
/// "munchen expo" names "München Expo"); else the one whose name holds it
/// ("hannover" for "Hannover Messe 2026"). A name that is the text wins over
/// names that merely hold it. When several fit, the error (invalidArgument)
/// lists them, name and id, one per line; when none does, it (notFound) lists
/// the events there are, or says there are none.
Result<std::size_t> pickEvent(const std::vector<EventChoice>& events, std::string_view typed,
                              const EventPlace& place);

/// The stored event `typed` names, as `pickEvent` finds it.
Result<Event> eventArgument(Store& store, std::string_view typed);

/// The same from the store of `context`, for a command that sends the event to
/// the running companion and so must know which one it is first.
Result<Event> eventArgument(CliContext& context, std::string_view typed);

}  // namespace qm::cli
