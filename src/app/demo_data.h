#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/result.h"
#include "common/uuid.h"
#include "store/event.h"

namespace qm {

class Store;

/// What the demo data added: the event and its contacts' ids, in the order made.
struct DemoData {
  Event event;
  std::vector<Uuid> contactIDs;
};

/// Adds an event named `eventName` with `contacts` made-up contacts (names,
/// companies, meeting states, targets, ranks and a note each), to try the
/// lists, search and MCP without a phone. One transaction: a failure adds
/// nothing.
Result<DemoData> addDemoData(Store& store, std::size_t contacts = 25,
                             const std::string& eventName = "Demo Expo");

}  // namespace qm
