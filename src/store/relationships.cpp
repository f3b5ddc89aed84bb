#include "store/relationships.h"

namespace qm {

Result<std::vector<Contact>> contactsOf(Store& store, const Uuid& eventID) {
  return store.fetch<Contact>({{"eventID", eventID}});
}
Result<std::vector<SavedReport>> savedReportsOf(Store& store, const Uuid& eventID) {
  return store.fetch<SavedReport>({{"eventID", eventID}});
}
Result<std::vector<Opportunity>> opportunitiesOf(Store& store, const Uuid& eventID) {
  return store.fetch<Opportunity>({{"eventID", eventID}});
}
Result<std::vector<ContactNote>> notesOf(Store& store, const Uuid& contactID) {
  return store.fetch<ContactNote>({{"contactID", contactID}});
}
Result<std::vector<CaptureMedia>> capturesOf(Store& store, const Uuid& contactID) {
  return store.fetch<CaptureMedia>({{"contactID", contactID}});
}
Result<std::vector<FollowUpDraft>> draftsOf(Store& store, const Uuid& contactID) {
  return store.fetch<FollowUpDraft>({{"contactID", contactID}});
}
Result<std::vector<OpportunityStakeholder>> stakeholdersOfContact(Store& store,
                                                                  const Uuid& contactID) {
  return store.fetch<OpportunityStakeholder>({{"contactID", contactID}});
}
Result<std::vector<OpportunityStakeholder>> stakeholdersOfOpportunity(Store& store,
                                                                      const Uuid& opportunityID) {
  return store.fetch<OpportunityStakeholder>({{"opportunityID", opportunityID}});
}

}  // namespace qm
