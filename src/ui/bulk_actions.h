#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/date.h"
#include "common/uuid.h"
#include "store/contact.h"
#include "ui/contact_list.h"

namespace qm {

/// What a bulk action changes: the changed contacts and the fields it wrote,
/// for the one writer to save with `Store::updateOnly` in one transaction.
struct ContactEdits {
  std::vector<Contact> contacts;
  std::vector<std::string_view> fields;
};

/// At most this many contacts go to one draft batch from a selection.
inline constexpr std::size_t kMaxDraftsPerSelection = 10;

/// "Mark as Target" (icon "scope"): each selected contact of `eventContacts`
/// becomes a target. Empties the selection.
ContactEdits markSelectedAsTarget(std::span<const Contact> eventContacts, ContactListState& state);

/// "Mark as Met" (icon "checkmark.circle"): each selected contact gets status
/// met and `metAt` = `when`, also when it was met already. Empties the selection.
ContactEdits markSelectedAsMet(std::span<const Contact> eventContacts, ContactListState& state,
                               Date when);

/// "Generate Drafts": the ids of the selected contacts in the event's
/// stored order, at most the first ten, for a batch in the neutral tone.
/// Empties the selection.
std::vector<Uuid> generateDraftsForSelection(std::span<const Contact> eventContacts,
                                             ContactListState& state);

}  // namespace qm
