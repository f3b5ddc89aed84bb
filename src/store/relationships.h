#pragma once

#include <vector>

#include "common/result.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/saved_report.h"
#include "store/store.h"

namespace qm {

// The to-many sides of the relationships, each in stored (insertion) order.

Result<std::vector<Contact>> contactsOf(Store& store, const Uuid& eventID);
Result<std::vector<SavedReport>> savedReportsOf(Store& store, const Uuid& eventID);
Result<std::vector<Opportunity>> opportunitiesOf(Store& store, const Uuid& eventID);
Result<std::vector<ContactNote>> notesOf(Store& store, const Uuid& contactID);
Result<std::vector<CaptureMedia>> capturesOf(Store& store, const Uuid& contactID);
Result<std::vector<FollowUpDraft>> draftsOf(Store& store, const Uuid& contactID);
Result<std::vector<OpportunityStakeholder>> stakeholdersOfContact(Store& store,
                                                                  const Uuid& contactID);
Result<std::vector<OpportunityStakeholder>> stakeholdersOfOpportunity(Store& store,
                                                                      const Uuid& opportunityID);

}  // namespace qm
