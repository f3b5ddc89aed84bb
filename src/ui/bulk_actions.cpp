#include "ui/bulk_actions.h"

namespace qm {

namespace {

/// The selected contacts, in stored order; empties the selection.
std::vector<Contact> takeSelected(std::span<const Contact> eventContacts, ContactListState& state) {
  std::vector<Contact> out;
  for (const Contact& c : eventContacts)
    if (state.selection.contains(c.id)) out.push_back(c);
  state.selection.clear();
  return out;
}

}  // namespace

ContactEdits markSelectedAsTarget(std::span<const Contact> eventContacts, ContactListState& state) {
  ContactEdits edits{takeSelected(eventContacts, state), {"isTarget"}};
  for (Contact& c : edits.contacts) c.isTarget = true;
  return edits;
}

ContactEdits markSelectedAsMet(std::span<const Contact> eventContacts, ContactListState& state,
                               Date when) {
  ContactEdits edits{takeSelected(eventContacts, state), {"status", "metAt"}};
  for (Contact& c : edits.contacts) {
    c.status = MeetingStatus::met;
    c.metAt = when;
  }
  return edits;
}

std::vector<Uuid> generateDraftsForSelection(std::span<const Contact> eventContacts,
                                             ContactListState& state) {
  std::vector<Uuid> ids;
  for (const Contact& c : eventContacts) {
    if (ids.size() == kMaxDraftsPerSelection) break;
    if (state.selection.contains(c.id)) ids.push_back(c.id);
  }
  state.selection.clear();
  return ids;
}

}  // namespace qm
