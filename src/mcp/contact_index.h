#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "store/contact.h"
#include "store/store.h"

namespace qm::mcp {

/// The fields of every contact that the contact list and search tools need,
/// read once and kept, in the orders those tools use, until the store changes
/// (through this process or another). Listing 100 of an event's 10,000 contacts
/// then costs a filter over small entries instead of reading every record.
class ContactIndex {
 public:
  struct Entry {
    Contact contact;  ///< only the fields the list and search items show are read
    std::string fullName;
    std::string lowerName;
    std::string lowerCompany;
    std::string lowerEmail;
  };

  /// Reads the contacts again if the store changed since the last refresh.
  Status refresh(Store& store);

  /// An event's contacts: ranked ones by rank, unranked after them, ties by
  /// full name (code-point order).
  const std::vector<const Entry*>& ofEvent(const Uuid& eventID) const;
  /// Every contact by last name in the user's collation (natural, case-insensitive),
  /// equal names in stored order.
  const std::vector<const Entry*>& byLastName() const { return byLastName_; }

 private:
  std::optional<Store::ChangeStamp> stamp_;
  std::vector<Entry> entries_;
  std::map<Uuid, std::vector<const Entry*>> byEvent_;
  std::vector<const Entry*> byLastName_;
};

}  // namespace qm::mcp
