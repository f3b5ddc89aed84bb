#pragma once

#include <string_view>

#include "common/result.h"
#include "store/event.h"

namespace qm {
class Store;
}

namespace qm::cli {

/// The event a command-line argument names: its id, or its name (compared
/// without regard to letter case or surrounding spaces) when exactly one event
/// has it. The error is the line to print.
Result<Event> eventArgument(Store& store, std::string_view idOrName);

}  // namespace qm::cli
