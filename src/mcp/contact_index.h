#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "store/contact_queries.h"
#include "store/store.h"

namespace qm::mcp {

/// The contacts in the order search_contacts looks at them: by last name in
/// the user's collation (natural, case-insensitive), equal names in stored
/// order. Only the distinct last names are sorted, each by a collation key
/// made once and kept; the contacts themselves come from the store's
/// last-name index, as many as are asked for.
class ContactIndex {
 public:
  ContactIndex();
  ~ContactIndex();
  ContactIndex(const ContactIndex&) = delete;
  ContactIndex& operator=(const ContactIndex&) = delete;

  /// Hands the first `count` contacts by last name to `visit`, in that order,
  /// until it returns false. They are read a few at a time, so stopping early
  /// reads fewer.
  Status visitByLastName(Store& store, std::size_t count,
                         const std::function<bool(const ContactSearchEntry&)>& visit);

 private:
  class NaturalOrder;

  const std::string& keyOf(const std::string& lastName);

  std::unique_ptr<NaturalOrder> order_;
  /// Collation keys by last name; a key depends on nothing but the name.
  std::unordered_map<std::string, std::string> keys_;
};

}  // namespace qm::mcp
