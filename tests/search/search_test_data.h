#pragma once

// Stores for the search tests: small hand-made records, and generated ones full
// of accents (and the same words without them), CJK names, odd blanks and
// near-duplicate companies.

#include <cstdint>
#include <string>
#include <vector>

#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/store.h"

namespace qm::test {

Event addEvent(Store& store, std::string name, std::optional<std::string> location = {});
Contact addContact(Store& store, const Event& event, std::string first, std::string last,
                   std::string company = {});
ContactNote addNote(Store& store, const Contact& contact, std::string text);
Opportunity addOpportunity(Store& store, const Event& event, std::string title,
                           std::optional<double> value = {}, std::string currency = "EUR");
FollowUpDraft addDraft(Store& store, const std::optional<Contact>& contact, std::string subject,
                       std::string body = "Thanks for stopping by.");

/// Fills `store` with `events` events of about `contactsPerEvent` contacts each,
/// with notes, opportunities and drafts, drawn from a small vocabulary so that
/// queries find many records. The same seed gives the same records.
void fillGenerated(Store& store, std::uint64_t seed, int events, int contactsPerEvent);

/// A query of one to three words made of pieces of the same vocabulary,
/// in varied case, sometimes one-letter words.
std::string generatedQuery(std::uint64_t& state);

}  // namespace qm::test
