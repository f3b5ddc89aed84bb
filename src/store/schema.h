#pragma once

#include <vector>

#include "store/store.h"

namespace qm {

/// The twelve record kinds of the store, in registration order.
const std::vector<const TableSchema*>& storeSchema();

}  // namespace qm
