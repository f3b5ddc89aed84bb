#pragma once

#include <optional>
#include <string_view>

#include "common/result.h"
#include "common/uuid.h"
#include "search/search_result.h"

namespace qm {

class Store;

/// A search run as a plain scan: every record read from the store and scored
/// field by field with `scoreRecord`. Slow on large stores; it is the
/// definition the index (`SearchIndex`) must agree with, and the baseline it is
/// measured against. `scopedEvent` limits the search to one event (no `events`
/// entry, no event names); `locale` formats opportunity values (empty: the
/// user's).
Result<SearchResults> referenceSearch(Store& store, std::string_view query,
                                      const std::optional<Uuid>& scopedEvent,
                                      std::string_view locale = {});

}  // namespace qm
