#pragma once

#include <string>
#include <vector>

#include "store/store.h"

namespace qm {

/// The twelve record kinds of the store, in registration order.
const std::vector<const TableSchema*>& storeSchema();

/// The SQL that creates the table of one record kind: a column per field with
/// NOT NULL and UNIQUE where declared, foreign keys with the owner's delete rule,
/// and an index per relationship column.
std::string createTableSQL(const TableSchema& schema);

}  // namespace qm
